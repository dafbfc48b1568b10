// The navigator's loop: planning, matching each fix with a radius from its
// accuracy, judging whether the vehicle left the route (by distance, and by
// direction where it is expected to be), rerouting, closures and arrival.
#include "nav/Navigator.h"

#include <algorithm>
#include <cmath>

#include "interfaces/VroGeo.h"
#include "interfaces/VroRead.h"
#include "interfaces/VroRoute.h"
#include "interfaces/VroTexts.h"
#include "nav/NavigatorImpl.h"

namespace vxnav {

static_assert(
    std::variant_size_v<Event::Data> == 7 &&
        std::is_same_v<
            std::variant_alternative_t<static_cast<std::size_t>(EventKind::kArrival), Event::Data>,
            Arrival>,
    "EventKind follows the order of Event::data's alternatives");

namespace {

// The expected place along the route: a fix's speed is taken as good to
// this many m/s, and the vehicle may change it by this much per second.
constexpr double kSpeedError = 0.5;
constexpr double kAcceleration = 1.5;
// Without a speed the expected place only follows the matches.
constexpr double kNoSpeedDrift = 15.0;
// A match more than this many standard deviations from the expected place
// does not move it (it is a jump, or the vehicle left the route).
constexpr double kGateSigmas = 3.0;
// The direction test looks at the route this far (at least) around the
// expected place, and this many of its standard deviations.
constexpr double kHeadingWindow = 15.0;
constexpr double kHeadingWindowSigmas = 3.0;
// A pause between fixes longer than this starts the expected place afresh.
constexpr double kTrackGap = 30.0;
// Without a heading, a new route starts in the direction from one of the
// last this many fixes that lies at least kTravelMetres (and two
// accuracies) behind the last one.
constexpr std::size_t kTrailFixes = 5;
constexpr double kTravelMetres = 10.0;

// The route's direction at a match (as PlaneDirection): towards the next
// point of the route, at the very end from the point before; -1 unknown.
double RouteDirectionAt(const NavGuid& nav) {
  const double d = PlaneDirection(nav.ptClose, nav.ptAfter);
  return d >= 0 ? d : PlaneDirection(nav.ptBefore, nav.ptClose);
}

}  // namespace

void Navigator::Impl::Push(Update& u, const tagLonLat& pt, Event::Data data) const {
  Event e;
  e.dTime = m_lastFix ? m_lastFix->dTime : 0.0;
  e.pt = pt;
  e.data = std::move(data);
  u.events.push_back(std::move(e));
}

bool Navigator::Impl::FindRoute(const tagLonLat& ptFrom, const tagLonLat& ptTo, double dHeading) {
  for (const VRO_FEATURE_ID& id : m_closed) {
    VroRouteAddBlockEdge(m_hRoute, id);
  }
  bool bFound = VroRouteFindPath(m_hRoute, ptFrom, ptTo, dHeading, 0.0,
                                 m_settings.sRouteMode.c_str(), 0.0, nullptr) >= 0 &&
                VroRouteRetrieveStart(m_hRoute) != 0;
  if (!m_closed.empty()) {
    VroRouteRemoveAllBlockEdge(m_hRoute);
  }
  if (bFound) {
    CPath fresh;
    fresh.SetVroReader(m_hReader);
    char szCode[vro::kCodeSize] = {}, szStr1[vro::kStr1Size] = {}, szStr2[vro::kNameSize] = {},
         szAttr[vro::kAttrSize] = {};
    VRO_FEATURE_ID id{};
    double dLen = 0;
    tagLonLat* pPts = nullptr;
    for (int n; (n = VroRouteRetrieveNextEdgeEx(m_hRoute, szCode, szStr1, szStr2, szAttr, id, dLen,
                                                pPts)) > 0;) {
      if (n <= 0xFFFF && pPts != nullptr) {
        fresh.AddEdge(szCode, szStr1, szStr2, szAttr, static_cast<unsigned short>(n), pPts, id,
                      dLen);
      }
    }
    bFound = fresh.StartEdge() != 0;
    if (bFound) {
      m_path = fresh;
    }
  }
  VroRouteReset(m_hRoute);
  return bFound;
}

void Navigator::Impl::RouteChanged(RouteReason reason, double dTime, Update& u) {
  m_bHasRoute = true;
  m_line.Build(m_path);
  m_announcer.Reset();
  m_lastOnRoute.reset();
  m_nOffRoute = 0;
  m_dOffMetres = 0.0;
  m_bTracking = false;
  RouteInfo r;
  r.reason = reason;
  r.dLength = m_line.Length();
  r.dTime = m_line.Time();
  r.nManoeuvres = static_cast<int>(Manoeuvres().size());
  PathGuid g{};
  for (m_path.StartGuid(); m_path.NextGuid(g);) {
    for (unsigned i = r.pts.empty() ? 0 : 1; i < g.wPtNum; ++i) {
      r.pts.push_back(g.pPts[i]);
    }
  }
  const tagLonLat pt = r.pts.empty() ? tagLonLat{0, 0} : r.pts.front();
  Push(u, pt, std::move(r));
  u.events.back().dTime = dTime;
}

Update Navigator::Impl::PlanRoute(const tagLonLat& ptFrom, const tagLonLat& ptTo, double dTime,
                                  double dHeading) {
  Update u;
  m_ptTo = ptTo;
  m_bArrived = false;
  if (!FindRoute(ptFrom, ptTo, dHeading)) {
    m_path.Clear();
    m_bHasRoute = false;
    return u;
  }
  RouteChanged(RouteReason::kPlanned, dTime, u);
  u.state.state = RouteState::kOnRoute;
  return u;
}

void Navigator::Impl::Reroute(RouteReason reason, Update& u) {
  const Fix fix = m_lastFix.value_or(Fix{});
  bool bDone = false;
  if (reason == RouteReason::kNewDestination) {
    bDone = FindRoute(fix.pt, m_ptTo, TravelDirection());
  } else {
    for (const VRO_FEATURE_ID& id : m_closed) {
      VroRouteAddBlockEdge(m_hRoute, id);
    }
    bDone = m_path.QuickRoute(m_hRoute, fix.pt, TravelDirection(), 0.0,
                              m_settings.sRouteMode.c_str(), 0.0) != 0;
    if (!m_closed.empty()) {
      VroRouteRemoveAllBlockEdge(m_hRoute);
    }
  }
  Push(u, fix.pt, vxnav::Reroute{reason, bDone});
  if (!bDone) {
    m_nOffRoute = 0;
    m_dOffMetres = 0.0;
    return;
  }
  m_bArrived = false;
  RouteChanged(reason, fix.dTime, u);
}

void Navigator::Impl::DoClosure(double dAhead, const NavGuid& nav, Update& u) {
  const tagLonLat ptFix = m_lastFix ? m_lastFix->pt : nav.ptClose;
  Closure c;
  c.dAhead = dAhead;
  // The edge the closure lies on, found the way the library walks ahead.
  PathGuid item = nav;
  for (double dDist = nav.dDist; dAhead > dDist;) {
    PathGuid next{};
    if (m_path.GetNextGuid(item, next) == 0) {
      c.status = ClosureStatus::kBeyondRoute;
      Push(u, ptFix, std::move(c));
      return;
    }
    dDist += next.dDist;
    item = next;
  }
  c.sRoad = item.szName;
  std::vector<tagLonLat> pts(item.pPts, item.pPts + item.wPtNum);  // before the path changes
  const Fix fix = m_lastFix.value_or(Fix{0.0, ptFix});
  m_closed.push_back(item.idEdge);
  // Closed on the edge driven: a new route from the fix in the route's
  // direction there, which the engine never takes on along the closed road
  // (it turns back on it, or leaves by the nearest open road).
  const double dAlong = RouteDirectionAt(nav);
  const bool bDone =
      dAhead <= nav.dDist
          ? dAlong >= 0 && FindRoute(fix.pt, m_ptTo, dAlong)
          : m_path.BlockRoute(m_hRoute, dAhead, m_settings.dTolerance, fix.pt, TravelDirection(),
                              0.0, m_settings.sRouteMode.c_str(), 0.0) != 0;
  if (!bDone) {
    m_closed.pop_back();
    c.status = ClosureStatus::kNoWayAround;
    Push(u, ptFix, std::move(c));
    return;
  }
  c.status = ClosureStatus::kRerouted;
  c.pts = std::move(pts);
  const tagLonLat ptMid = c.pts[c.pts.size() / 2];
  Push(u, ptMid, std::move(c));
  RouteChanged(RouteReason::kClosure, fix.dTime, u);
}

double Navigator::Impl::Accuracy(const Fix& fix) const {
  return std::isfinite(fix.dAccuracy) && fix.dAccuracy > 0 ? fix.dAccuracy
                                                           : m_settings.dDefaultAccuracy;
}

// The direction a new route starts in: the last fix's heading, else the
// direction to it from the newest recent fix far enough behind; -1 unknown.
double Navigator::Impl::TravelDirection() const {
  if (!m_lastFix) {
    return -1.0;
  }
  const Fix& last = *m_lastFix;
  if (last.dHeading >= 0 && std::isfinite(last.dHeading)) {
    return last.dHeading;
  }
  const double dMin = std::max(kTravelMetres, 2.0 * Accuracy(last));
  for (auto it = m_trail.rbegin(); it != m_trail.rend(); ++it) {
    if (SegmentLength(*it, last.pt) >= dMin) {
      return PlaneDirection(*it, last.pt);
    }
  }
  return -1.0;
}

double Navigator::Impl::Tolerance(const Fix& fix) const {
  if (m_settings.tolerance == TolerancePolicy::kFixed) {
    return m_settings.dTolerance;
  }
  return std::max(m_settings.dTolerance, m_settings.dAccuracySigmas * Accuracy(fix));
}

// Where the match of a fix may start: the edge some way behind where the
// vehicle is expected, so that neither an earlier pass of the route nor a
// noisy match that ran ahead keeps the right edge from being found; without
// an expected place, the last match on the route.
const PathGuid* Navigator::Impl::MatchFrom(const Fix& fix) {
  if (!m_bTracking) {
    return m_lastOnRoute ? &*m_lastOnRoute : nullptr;
  }
  const double dSigma = Accuracy(fix);
  const double dSpeed = std::isfinite(fix.dSpeed) && fix.dSpeed > 0 ? fix.dSpeed : 0.0;
  const double dBack = kGateSigmas * std::sqrt(m_dAlongVar + dSigma * dSigma) + Tolerance(fix);
  m_matchFrom = PathGuid{};
  if (!m_line.EdgeAt(m_dAlong + dSpeed * std::max(0.0, fix.dTime - m_dTrackTime) - dBack,
                     m_matchFrom.idEdge)) {
    return nullptr;
  }
  return &m_matchFrom;
}

// Whether the direction test may use the fix's heading: known, at speed.
bool Navigator::Impl::UsesHeading(const Fix& fix) const {
  return m_settings.dHeadingGap > 0 && std::isfinite(fix.dSpeed) &&
         fix.dSpeed >= m_settings.dHeadingMinSpeed && fix.dHeading >= 0 &&
         std::isfinite(fix.dHeading);
}

// Moves the expected place along the route to this fix and says whether the
// fix heads away from the route there.
bool Navigator::Impl::HeadsAway(const Fix& fix, int nMatch, const NavGuid& nav, double dSigma) {
  const bool bSpeed = std::isfinite(fix.dSpeed) && fix.dSpeed >= 0;
  double dMatch = 0.0;
  const bool bMeasured = (nMatch == 1 || nMatch == 2) && m_line.AlongOf(nav, dMatch);
  const double dt = fix.dTime - m_dTrackTime;
  if (!m_bTracking || !(dt >= 0) || dt > kTrackGap) {
    m_bTracking = bMeasured;
    m_dAlong = dMatch;
    m_dAlongVar = dSigma * dSigma;
    m_dTrackTime = fix.dTime;
    return false;
  }
  m_dTrackTime = fix.dTime;
  if (bSpeed) {
    m_dAlong += fix.dSpeed * dt;
    m_dAlongVar += kSpeedError * kSpeedError * dt * dt + kAcceleration * kAcceleration * dt;
  } else {
    m_dAlongVar += kNoSpeedDrift * kNoSpeedDrift * dt * dt;
  }
  if (bMeasured) {
    const double dInnovVar = m_dAlongVar + dSigma * dSigma;
    const double y = dMatch - m_dAlong;
    if (y * y <= kGateSigmas * kGateSigmas * dInnovVar) {
      const double k = m_dAlongVar / dInnovVar;
      m_dAlong += k * y;
      m_dAlongVar *= 1.0 - k;
    }
  }
  m_dAlong = std::clamp(m_dAlong, 0.0, m_line.Length());
  if (!UsesHeading(fix)) {
    return false;
  }
  const double w = std::max(kHeadingWindow, kHeadingWindowSigmas * std::sqrt(m_dAlongVar));
  return m_line.HeadingGap(fix.dHeading, m_dAlong - w, m_dAlong + w) > m_settings.dHeadingGap;
}

// Whether the fix's heading (where the direction test may use it) differs
// by more than the gap from the route's direction at its match.
bool Navigator::Impl::HeadsAcross(const Fix& fix, const NavGuid& nav) const {
  const double dRoute = RouteDirectionAt(nav);
  return UsesHeading(fix) && dRoute >= 0 &&
         DirectionGap(fix.dHeading, dRoute) > m_settings.dHeadingGap;
}

// Whether a fix on the route arrives (see Settings::dArrivalStandingSpeed):
// CPath's 20 m, the last edge within dArrivalAccuracies accuracies of its
// end, or standing within the match radius of the destination (dLeft metres
// along the route, negative when unknown); never heading across the route.
bool Navigator::Impl::Arrives(const Fix& fix, int nMatch, const NavGuid& nav, double dLeft) const {
  if (HeadsAcross(fix, nav)) {
    return false;
  }
  const bool bLastEdge = nav.dTurnAngle < 0 && nav.wNextPtNum == 0;
  const bool bStanding =
      std::isfinite(fix.dSpeed) && fix.dSpeed >= 0 && fix.dSpeed < m_settings.dArrivalStandingSpeed;
  return nMatch == 2 || (bLastEdge && nav.dDist <= m_settings.dArrivalAccuracies * Accuracy(fix)) ||
         (bStanding && dLeft >= 0 && dLeft <= Tolerance(fix));
}

// Counts a fix that is off the route (by distance or direction); enough of
// them in a row put the vehicle off the route and ask for a new one.
void Navigator::Impl::Judge(const Fix& fix, double dSince, int nMatch, const NavGuid& nav,
                            Update& u) {
  const bool bByHeading = nMatch != 3;
  ++m_nOffRoute;
  if (std::isfinite(fix.dSpeed) && fix.dSpeed > 0) {
    m_dOffMetres += fix.dSpeed * dSince;
  }
  u.state.state = RouteState::kOffRoute;
  const bool bByMetres =
      m_settings.dOffRouteMetres > 0 && m_dOffMetres >= m_settings.dOffRouteMetres;
  if (m_nOffRoute == m_settings.nOffRouteFixes ||
      (bByMetres && m_nOffRoute < m_settings.nOffRouteFixes)) {
    Push(u, fix.pt, OffRoute{m_nOffRoute, SegmentLength(fix.pt, nav.ptClose), bByHeading});
    Reroute(RouteReason::kOffRoute, u);
  }
}

Update Navigator::Impl::OnFix(const Fix& fix) {
  Update u;
  const double dTol = Tolerance(fix);
  u.state.dTolerance = dTol;
  const double dSince = m_lastFix ? std::max(0.0, fix.dTime - m_lastFix->dTime) : 0.0;
  if (m_lastFix) {
    m_trail.push_back(m_lastFix->pt);
    if (m_trail.size() > kTrailFixes) {
      m_trail.pop_front();
    }
  }
  m_lastFix = fix;
  if (!m_bHasRoute) {
    return u;
  }
  if (m_bArrived) {
    u.state.state = RouteState::kArrived;
    return u;
  }
  NavGuid nav{};
  const int r = m_path.TestPoint(fix.pt, dTol, nav, fix.dHeading, MatchFrom(fix));
  u.state.match = static_cast<MatchResult>(r);
  u.state.bHasMatch = r != 0;
  u.state.ptMatch = nav.ptClose;
  const bool bAway = HeadsAway(fix, r, nav, Accuracy(fix));
  if (r == 3 || ((r == 1 || r == 2) && bAway)) {
    Judge(fix, dSince, r, nav, u);
    return u;
  }
  if (r == 0) {
    return u;
  }
  m_nOffRoute = 0;
  m_dOffMetres = 0.0;
  m_lastOnRoute = nav;
  u.state.state = RouteState::kOnRoute;
  u.state.sRoad = nav.szName;
  double dAlong = 0.0;
  if (m_line.AlongOf(nav, dAlong)) {
    u.state.dToDestination = std::max(0.0, m_line.Length() - dAlong);
    u.state.dTimeToDestination = m_line.TimeLeft(nav);
  }
  if (Arrives(fix, r, nav, u.state.dToDestination)) {
    m_bArrived = true;
    u.state.state = RouteState::kArrived;
    Push(u, fix.pt, Arrival{});
    return u;
  }
  if (m_pendingClosure) {
    const double dAhead = *m_pendingClosure;
    m_pendingClosure.reset();
    DoClosure(dAhead, nav, u);
    if (!m_lastOnRoute) {
      return u;  // the route changed: announced from the next fix on
    }
  }
  // A fix heading across the route where it matches (the first past a
  // missed turn, matched onto the road not taken) hears nothing.
  Announce(nav, !HeadsAcross(fix, nav), u);
  return u;
}

Update Navigator::Impl::CloseRoadAhead(double dAhead) {
  Update u;
  if (!m_lastOnRoute) {
    m_pendingClosure = dAhead;
    return u;
  }
  NavGuid nav{};
  if (m_path.TestPoint(m_lastFix->pt, Tolerance(*m_lastFix), nav, m_lastFix->dHeading,
                       &*m_lastOnRoute) != 1) {
    m_pendingClosure = dAhead;
    return u;
  }
  DoClosure(dAhead, nav, u);
  return u;
}

Update Navigator::Impl::SetDestination(const tagLonLat& ptTo) {
  m_ptTo = ptTo;
  if (!m_lastFix) {
    PathGuid g{};
    const tagLonLat ptFrom =
        m_path.StartGuid() && m_path.NextGuid(g) && g.wPtNum > 0 ? g.pPts[0] : ptTo;
    return PlanRoute(ptFrom, ptTo, 0.0, -1.0);
  }
  Update u;
  Reroute(RouteReason::kNewDestination, u);
  return u;
}

Update Navigator::Impl::RerouteNow() {
  Update u;
  if (!m_bHasRoute || !m_lastFix) {
    Push(u, m_lastFix ? m_lastFix->pt : tagLonLat{0, 0},
         vxnav::Reroute{RouteReason::kRequested, false});
    return u;
  }
  Reroute(RouteReason::kRequested, u);
  return u;
}

Navigator::Navigator(VRO_READER* hReader, VRO_ROUTE* hRoute, const Settings& settings)
    : m_pImpl(std::make_unique<Impl>(hReader, hRoute, settings)) {}

Navigator::~Navigator() = default;

Update Navigator::PlanRoute(const tagLonLat& ptFrom, const tagLonLat& ptTo, double dTime,
                            double dHeading) {
  return m_pImpl->PlanRoute(ptFrom, ptTo, dTime, dHeading);
}

Update Navigator::OnFix(const Fix& fix) { return m_pImpl->OnFix(fix); }

Update Navigator::CloseRoadAhead(double dAhead) { return m_pImpl->CloseRoadAhead(dAhead); }

Update Navigator::SetDestination(const tagLonLat& ptTo) { return m_pImpl->SetDestination(ptTo); }

Update Navigator::RerouteNow() { return m_pImpl->RerouteNow(); }

const CPath& Navigator::Path() const { return m_pImpl->Path(); }

const Settings& Navigator::GetSettings() const { return m_pImpl->GetSettings(); }

std::vector<Navigator::RouteManoeuvre> Navigator::Manoeuvres() const {
  return m_pImpl->Manoeuvres();
}

}  // namespace vxnav
