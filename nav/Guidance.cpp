// Guidance along the route: which items are manoeuvres, the announcement due
// at a fix, roundabout exits, and the roads of a junction from the map reader.
#include <algorithm>
#include <cstring>

#include "interfaces/VroRead.h"
#include "interfaces/VroTexts.h"
#include "nav/NavigatorImpl.h"

namespace vxnav {

namespace {

// Room for the roads of one junction.
constexpr unsigned short kJunctionRoads = 16;
// Guidance walks stop after this many items (a path that does not continue
// as it should).
constexpr int kWalkGuard = 100000;

double EdgeSpeed(const PathGuid& g) { return RoadSpeedKmh(g.nRoadAttr, g.nCode) / 3.6; }

}  // namespace

// The roads that may be driven away from the item's end point, by the
// junction description with one-way, turn restriction and level checks.
int Navigator::Impl::JunctionRoads(const PathGuid& item, VRO_FEATURE_ID* pIDs, double* pAngles) {
  NavGuid g{};
  static_cast<PathGuid&>(g) = item;
  const int n =
      CPath::GetCrossEdge(m_hReader, g, pIDs, pAngles, kJunctionRoads, 1, 1, nullptr, '1', '7');
  const std::uint32_t* w = item.idEdge.dw;
  m_junctionRoads[{item.ptEnd.lon, item.ptEnd.lat, w[0], w[1], w[2], w[3]}] = n;
  return n;
}

int Navigator::Impl::RoadsLeaving(const PathGuid& item) {
  const std::uint32_t* w = item.idEdge.dw;
  const auto it = m_junctionRoads.find({item.ptEnd.lon, item.ptEnd.lat, w[0], w[1], w[2], w[3]});
  if (it != m_junctionRoads.end()) {
    return it->second;
  }
  VRO_FEATURE_ID ids[kJunctionRoads];
  double angles[kJunctionRoads];
  return JunctionRoads(item, ids, angles);
}

// A road of a roundabout: the form character of its code is "C".
bool Navigator::Impl::IsRoundabout(const VRO_FEATURE_ID& id) const {
  char szCode[vro::kCodeSize] = {}, szStr1[vro::kStr1Size] = {}, szStr2[vro::kNameSize] = {};
  vro::FeatureCode code;
  return VroFeatureOneAttr(m_hReader, id, 0, szCode, szStr1, szStr2) != 0 &&
         vro::ParseFeatureCode(szCode, code) && code.bRoundabout;
}

// Follows the route from the item that enters a roundabout to the one that
// leaves it: nExit is 1 + the exits passed on the way (nodes of the
// roundabout where another road may be taken), sRoad the road taken. False
// when the route ends within the roundabout.
bool Navigator::Impl::RoundaboutExit(const PathGuid& entry, int& nExit, std::string& sRoad) {
  PathGuid item = entry;
  nExit = 1;
  for (int nGuard = 0; nGuard < kWalkGuard; ++nGuard) {
    PathGuid next{};
    if (m_path.GetNextGuid(item, next) == 0 || next.dTurnAngle < 0) {
      return false;
    }
    item = next;
    if (!IsRoundabout(item.idNext)) {
      sRoad = item.szNextName;
      return true;
    }
    nExit += RoadsLeaving(item) > 1;
  }
  return false;
}

// Entering and leaving a roundabout are announced, its nodes in between are
// not. Elsewhere a manoeuvre is announced unless the road only bends: it
// keeps its name and no other road may be taken there.
bool Navigator::Impl::IsAnnounced(const PathGuid& item) {
  if (item.dTurnAngle >= 0) {
    const bool bOn = IsRoundabout(item.idEdge);
    if (bOn != IsRoundabout(item.idNext)) {
      return true;
    }
    if (bOn) {
      return false;
    }
  }
  if (!IsManoeuvreTurn(item.dTurnAngle, item.szName, item.szNextName)) {
    return false;
  }
  if (item.dTurnAngle < 0 || item.szName[0] == '\0' ||
      std::strcmp(item.szName, item.szNextName) != 0) {
    return true;
  }
  return RoadsLeaving(item) > 1;
}

Junction Navigator::Impl::DescribeJunction(const PathGuid& item) {
  VRO_FEATURE_ID ids[kJunctionRoads];
  double angles[kJunctionRoads];
  const int n = JunctionRoads(item, ids, angles);
  Junction j;
  j.pt = item.ptEnd;
  j.sArrivingRoad = item.szName;
  for (int i = 0; i < n; ++i) {
    char szCode[vro::kCodeSize] = {}, szStr1[vro::kStr1Size] = {}, szStr2[vro::kNameSize] = {};
    JunctionRoad road;
    if (VroFeatureOneAttr(m_hReader, ids[i], 0, szCode, szStr1, szStr2) != 0) {
      szStr2[vro::kNameSize - 1] = '\0';
      road.sName = szStr2;
    }
    road.dTurnAngle = angles[i];
    road.turn = ClassifyTurn(angles[i]);
    road.bRoute = VroReaderIsSameFeature(m_hReader, ids[i], item.idNext) != 0;
    j.roads.push_back(road);
  }
  std::stable_sort(
      j.roads.begin(), j.roads.end(),
      [](const JunctionRoad& a, const JunctionRoad& b) { return a.dTurnAngle < b.dTurnAngle; });
  return j;
}

void Navigator::Impl::Announce(const NavGuid& nav, bool bSpeak, Update& u) {
  // The manoeuvre ahead: the first item from the current edge on that is one.
  PathGuid item = nav;
  double dDist = nav.dDist;
  double dTime = nav.dDist / EdgeSpeed(nav);
  int nExit = 1;  // within a roundabout: 1 + the exits before the one taken
  for (int nGuard = 0; !IsAnnounced(item); ++nGuard) {
    PathGuid next{};
    if (nGuard > kWalkGuard || m_path.GetNextGuid(item, next) == 0) {
      return;  // the path does not continue as it should; nothing to say
    }
    nExit += IsRoundabout(item.idEdge) && RoadsLeaving(item) > 1;
    dDist += next.dDist;
    dTime += next.dDist / EdgeSpeed(next);
    item = next;
  }
  u.state.dToManoeuvre = dDist;
  u.state.dTimeToManoeuvre = dTime;
  Instruction in;
  in.dTurnAngle = item.dTurnAngle;
  in.turn = ClassifyTurn(item.dTurnAngle);
  in.dDistance = dDist;
  in.sRoad = item.szNextName;
  in.ptManoeuvre = item.ptEnd;
  const bool bDestination = item.dTurnAngle < 0;
  if (bDestination) {
    in.kind = ManoeuvreKind::kDestination;
    in.sRoad.clear();
  } else if (IsRoundabout(item.idEdge)) {
    in.kind = ManoeuvreKind::kLeaveRoundabout;  // leaving the roundabout the vehicle is in
    in.nExit = nExit;
  } else if (IsRoundabout(item.idNext) && RoundaboutExit(item, nExit, in.sRoad)) {
    in.kind = ManoeuvreKind::kEnterRoundabout;  // its exits counted ahead along the route
    in.nExit = nExit;
  }
  const AnnounceDistances dist = DistancesForSpeed(m_settings, EdgeSpeed(nav));
  if (!bSpeak || !m_announcer.Due(item.ptEnd, dDist, bDestination, dist, in.stage)) {
    return;
  }
  const tagLonLat ptFix = m_lastFix ? m_lastFix->pt : item.ptEnd;
  Push(u, ptFix, in);
  if (in.stage == AnnounceStage::kNow) {
    Push(u, item.ptEnd, DescribeJunction(item));
  }
}

std::vector<Navigator::RouteManoeuvre> Navigator::Impl::Manoeuvres() {
  std::vector<RouteManoeuvre> out;
  std::vector<PathGuid> items;
  PathGuid g{};
  for (m_path.StartGuid(); m_path.NextGuid(g);) {
    items.push_back(g);
  }
  for (std::size_t i = 0; i < items.size(); ++i) {
    const PathGuid& it = items[i];
    if (it.dTurnAngle >= 0 && IsAnnounced(it)) {
      out.push_back(
          {static_cast<int>(i), it.ptEnd, it.dTurnAngle, it.szNextName, it.idEdge, it.idNext});
    }
  }
  return out;
}

}  // namespace vxnav
