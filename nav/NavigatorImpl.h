// The navigator's state and its steps: routing, matching and judging each
// fix, announcing, describing junctions and roundabouts.
#ifndef VX_NAV_NAVIGATORIMPL_H
#define VX_NAV_NAVIGATORIMPL_H

#include <deque>
#include <map>
#include <optional>
#include <tuple>

#include "nav/NavInternal.h"
#include "nav/RouteLine.h"

namespace vxnav {

// Hidden: the navigator's internals are not part of libVX_Nav's exports.
class __attribute__((visibility("hidden"))) Navigator::Impl {
 public:
  Impl(VRO_READER* hReader, VRO_ROUTE* hRoute, const Settings& settings)
      : m_hReader(hReader), m_hRoute(hRoute), m_settings(settings) {
    m_path.SetVroReader(hReader);
  }

  Update PlanRoute(const tagLonLat& ptFrom, const tagLonLat& ptTo, double dTime, double dHeading);
  Update OnFix(const Fix& fix);
  Update CloseRoadAhead(double dAhead);
  Update SetDestination(const tagLonLat& ptTo);
  Update RerouteNow();
  std::vector<RouteManoeuvre> Manoeuvres();

  const CPath& Path() const { return m_path; }
  const Settings& GetSettings() const { return m_settings; }

 private:
  // Routing (Navigator.cpp).
  // Routes from ptFrom and follows the route found.
  bool FindRoute(const tagLonLat& ptFrom, const tagLonLat& ptTo, double dHeading);
  void RouteChanged(RouteReason reason, double dTime, Update& u);
  void Reroute(RouteReason reason, Update& u);
  void DoClosure(double dAhead, const NavGuid& nav, Update& u);
  double Accuracy(const Fix& fix) const;
  double TravelDirection() const;
  double Tolerance(const Fix& fix) const;
  const PathGuid* MatchFrom(const Fix& fix);
  bool UsesHeading(const Fix& fix) const;
  bool HeadsAway(const Fix& fix, int nMatch, const NavGuid& nav, double dSigma);
  bool HeadsAcross(const Fix& fix, const NavGuid& nav) const;
  bool Arrives(const Fix& fix, int nMatch, const NavGuid& nav, double dLeft) const;
  void Judge(const Fix& fix, double dSince, int nMatch, const NavGuid& nav, Update& u);
  void Push(Update& u, const tagLonLat& pt, Event::Data data) const;

  // Guidance (Guidance.cpp).
  // The state's distances to the manoeuvre ahead, and with bSpeak its
  // announcement when one is due.
  void Announce(const NavGuid& nav, bool bSpeak, Update& u);
  bool IsAnnounced(const PathGuid& item);
  bool IsRoundabout(const VRO_FEATURE_ID& id) const;
  bool RoundaboutExit(const PathGuid& entry, int& nExit, std::string& sRoad);
  int JunctionRoads(const PathGuid& item, VRO_FEATURE_ID* pIDs, double* pAngles);
  int RoadsLeaving(const PathGuid& item);
  Junction DescribeJunction(const PathGuid& item);

  VRO_READER* m_hReader;
  VRO_ROUTE* m_hRoute;
  Settings m_settings;
  CPath m_path;
  RouteLine m_line;
  tagLonLat m_ptTo{0, 0};
  bool m_bHasRoute = false;

  // The last fix, and the last match on the route (for the next match).
  std::optional<Fix> m_lastFix;
  std::deque<tagLonLat> m_trail;  // the last fixes' positions, newest last
  std::optional<PathGuid> m_lastOnRoute;
  int m_nOffRoute = 0;        // fixes in a row judged off the route
  double m_dOffMetres = 0.0;  // metres driven while off
  std::optional<double> m_pendingClosure;
  std::vector<VRO_FEATURE_ID> m_closed;
  bool m_bArrived = false;

  // Where the vehicle is expected along the route: the last matched place
  // driven on at the fixes' speeds, corrected by every match that agrees.
  bool m_bTracking = false;
  double m_dAlong = 0.0;     // metres along the route
  double m_dAlongVar = 0.0;  // its variance, square metres
  double m_dTrackTime = 0.0;
  PathGuid m_matchFrom{};  // names the edge the match starts at

  Announcer m_announcer;
  // Roads that may be taken at each manoeuvre seen, by its point and the
  // road of arrival (whose restrictions count).
  using JunctionKey =
      std::tuple<double, double, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t>;
  std::map<JunctionKey, int> m_junctionRoads;
};

}  // namespace vxnav

#endif
