// Announcement stages per manoeuvre.
#include "drive/Announcer.h"

namespace vxdrive {

Announcement Announcer::Update(const ManoeuvreAhead& ahead, double dSpeed) {
  const AnnounceDistances dist = DistancesForSpeed(dSpeed);
  const auto [it, bNew] = m_stages.try_emplace(ahead.key, AnnounceStage::kNone);
  AnnounceStage& stage = it->second;
  const std::string& sInstruction = ahead.sInstruction;
  if (!ahead.bDestination && ahead.dDist <= dist.dNow) {
    if (stage == AnnounceStage::kNow) {
      return {AnnounceStage::kNone, {}};
    }
    stage = AnnounceStage::kNow;
    return {AnnounceStage::kNow, NowText(sInstruction)};
  }
  if (ahead.dDist <= dist.dPrepare) {
    if (stage == AnnounceStage::kPrepare || stage == AnnounceStage::kNow) {
      return {AnnounceStage::kNone, {}};
    }
    stage = AnnounceStage::kPrepare;
    return {AnnounceStage::kPrepare, ahead.bDestination ? DestinationAheadText(ahead.dDist)
                                                        : PrepareText(ahead.dDist, sInstruction)};
  }
  if (bNew) {
    stage = AnnounceStage::kContinue;
    return {AnnounceStage::kContinue, ContinueText(ahead.dDist)};
  }
  return {AnnounceStage::kNone, {}};
}

void Announcer::Reset() { m_stages.clear(); }

}  // namespace vxdrive
