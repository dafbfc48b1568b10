// Announcement stages per manoeuvre and the distances that call them.
#include <algorithm>
#include <cmath>

#include "nav/NavInternal.h"

namespace vxnav {

AnnounceDistances DistancesForSpeed(const Settings& settings, double dSpeed) {
  if (!std::isfinite(dSpeed) || dSpeed < 0) {
    dSpeed = 0;
  }
  return {std::clamp(dSpeed * settings.dPrepareSeconds, settings.dPrepareMin,
                     std::max(settings.dPrepareMin, settings.dPrepareMax)),
          std::clamp(dSpeed * settings.dNowSeconds, settings.dNowMin,
                     std::max(settings.dNowMin, settings.dNowMax))};
}

bool Announcer::Due(const tagLonLat& ptKey, double dDist, bool bDestination,
                    const AnnounceDistances& dist, AnnounceStage& stage) {
  const auto [it, bNew] = m_stages.try_emplace({ptKey.lon, ptKey.lat}, -1);
  int& nSaid = it->second;
  const int kNow = static_cast<int>(AnnounceStage::kNow);
  const int kPrepare = static_cast<int>(AnnounceStage::kPrepare);
  if (!bDestination && dDist <= dist.dNow) {
    if (nSaid == kNow) {
      return false;
    }
    nSaid = kNow;
    stage = AnnounceStage::kNow;
    return true;
  }
  if (dDist <= dist.dPrepare) {
    if (nSaid >= kPrepare) {
      return false;
    }
    nSaid = kPrepare;
    stage = AnnounceStage::kPrepare;
    return true;
  }
  if (bNew) {
    nSaid = static_cast<int>(AnnounceStage::kContinue);
    stage = AnnounceStage::kContinue;
    return true;
  }
  return false;
}

}  // namespace vxnav
