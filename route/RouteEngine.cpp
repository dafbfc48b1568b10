// Snapping, route assembly and hand-out of the route engine.
#include "route/RouteEngine.h"

#include <strings.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <new>
#include <span>

#include "interfaces/VroGeo.h"
#include "interfaces/VroTexts.h"
#include "network/FeatureBoxGrid.h"
#include "network/FeatureId.h"
#include "route/DegreePoint.h"

namespace vxroute {

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr double kMaxSnapMetres = 5000.0;
constexpr double kFirstSnapMetres = 100.0;
constexpr double kHeadingDegrees = 45.0;
constexpr double kHeadingMarginMetres = 25.0;
// A road of a small component is snapped to only from this near.
constexpr double kNearSmallMetres = 10.0;
// Price added to leaving the start against the heading: larger than any
// route, so such a start is taken only when no other reaches the target.
constexpr double kOffHeading = 1.0e12;
constexpr std::size_t kMaxEdgePoints = 0xFFFF;

bool SamePoint(const Bin_LonLat& a, const Bin_LonLat& b) {
  return a.lon == b.lon && a.lat == b.lat;
}

void PushPoint(std::vector<Bin_LonLat>& pts, const Bin_LonLat& p) {
  if (pts.empty() || !SamePoint(pts.back(), p)) {
    pts.push_back(p);
  }
}

double Dist2(const Bin_LonLat& a, const Bin_LonLat& b) {
  const double dx = static_cast<double>(a.lon) - b.lon, dy = static_cast<double>(a.lat) - b.lat;
  return dx * dx + dy * dy;
}

bool ValidPoint(const tagLonLat& p) {
  return std::isfinite(p.lon) && std::isfinite(p.lat) && std::fabs(p.lon) <= 180.0 &&
         std::fabs(p.lat) <= 90.0;
}

double Penalty(double d) { return std::isfinite(d) && d > 0 ? d : 0.0; }

bool HasHeading(double dAngle) { return std::isfinite(dAngle) && dAngle >= 0; }

// The segments nearest a point among the features a snap visits: the
// nearest of all and, with a heading, the nearest that may be driven within
// kHeadingDegrees of it; each among the roads of large components and among
// those of small ones.
class NearestSegments {
 public:
  // A segment found: its distance in metres, its feature and segment, and
  // the place t (0 to 1) along it nearest the point.
  struct Best {
    double dMetres = kInfinity;
    std::uint32_t nFeature = 0;
    std::uint32_t nSeg = 0;
    double t = 0;
  };

  // Around pt, with the heading dAngle (none when HasHeading says so); graph
  // must outlive this.
  NearestSegments(const RouteGraph& graph, const tagLonLat& pt, double dAngle)
      : m_graph(graph),
        m_x(pt.lon * 100000.0),
        m_y(pt.lat * 100000.0),
        m_bHeading(HasHeading(dAngle)),
        m_dHeading(m_bHeading ? std::fmod(dAngle, 360.0) : 0.0) {
    double dLonDeg = 0, dLatDeg = 0;
    GetUnitDegree(pt, dLonDeg, dLatDeg);
    m_sx = 1.0 / (dLonDeg * 100000.0);
    m_sy = 1.0 / (dLatDeg * 100000.0);
  }

  // The square of half side dRadius metres around the point, in map units.
  vxnet::BinBox Square(double dRadius) const {
    return {Unit(m_x - dRadius / m_sx), Unit(m_y - dRadius / m_sy),
            Unit(std::ceil(m_x + dRadius / m_sx)), Unit(std::ceil(m_y + dRadius / m_sy))};
  }

  // Measures the segments of feature f, a road of a large component when
  // bLarge, against the nearest found so far.
  void VisitFeature(std::uint32_t f, bool bLarge) {
    const std::span<const Bin_LonLat> p = m_graph.Points(f);
    for (std::uint32_t k = 0; k + 1 < p.size(); ++k) {
      Visit(f, k, p[k], p[k + 1], bLarge ? m_all : m_allSmall, bLarge ? m_match : m_matchSmall);
    }
  }

  // The distance within which a better segment than those seen could lie.
  double Limit() const {
    const double d = m_bHeading ? std::min(m_match.dMetres, m_all.dMetres + kHeadingMarginMetres)
                                : m_all.dMetres;
    return std::min(d, kMaxSnapMetres);
  }

  // The segment to snap to: along the heading when one lies at most
  // kHeadingMarginMetres farther than the nearest of all.
  const Best& Pick() const {
    const Best& bestAll = PreferLarge(m_all, m_allSmall);
    const Best& bestMatch = PreferLarge(m_match, m_matchSmall);
    return m_bHeading && bestMatch.dMetres <= bestAll.dMetres + kHeadingMarginMetres ? bestMatch
                                                                                     : bestAll;
  }

 private:
  // A map unit from a coordinate, kept within 32 bits.
  static std::int32_t Unit(double d) {
    return static_cast<std::int32_t>(std::clamp(std::floor(d), -2147483648.0, 2147483647.0));
  }

  // A road of a small component only when the point lies on it, near enough
  // (Limit keeps to the large ones: the first square holds these).
  static const Best& PreferLarge(const Best& large, const Best& small) {
    return small.dMetres <= kNearSmallMetres && small.dMetres < large.dMetres ? small : large;
  }

  // Measures segment k (a to b) of feature f against the nearest of all and
  // the nearest along the heading.
  void Visit(std::uint32_t f, std::uint32_t k, const Bin_LonLat& a, const Bin_LonLat& b,
             Best& nearest, Best& along) {
    const double ax = (a.lon - m_x) * m_sx, ay = (a.lat - m_y) * m_sy;
    const double bx = (b.lon - m_x) * m_sx, by = (b.lat - m_y) * m_sy;
    const double dx = bx - ax, dy = by - ay;
    const double dLen2 = dx * dx + dy * dy;
    const double t = dLen2 > 0 ? std::clamp(-(ax * dx + ay * dy) / dLen2, 0.0, 1.0) : 0.0;
    const double dMetres = std::hypot(ax + t * dx, ay + t * dy);
    if (dMetres < nearest.dMetres) {
      nearest = {dMetres, f, k, t};
    }
    if (m_bHeading && dMetres < along.dMetres) {
      const double dFwd = BearingOf(a.lon, a.lat, b.lon, b.lat);
      const HalfEdge h = HalfEdgeOf(f, false);
      if ((m_graph.AllowsDirection(h) && BearingGap(dFwd, m_dHeading) <= kHeadingDegrees) ||
          (m_graph.AllowsDirection(h ^ 1u) &&
           BearingGap(dFwd + 180.0, m_dHeading) <= kHeadingDegrees)) {
        along = {dMetres, f, k, t};
      }
    }
  }

  const RouteGraph& m_graph;
  double m_x, m_y;                // the point in map units
  double m_sx = 0.0, m_sy = 0.0;  // metres per map unit of longitude, of latitude
  bool m_bHeading;
  double m_dHeading;
  Best m_all, m_match;            // roads of a large component
  Best m_allSmall, m_matchSmall;  // roads of a small one
};

}  // namespace

RouteEngine::RouteEngine(const vxnet::NetworkView& net) : m_graph(net), m_search(m_graph) {}

bool RouteEngine::InLargeComponent(std::uint32_t nFeature) const {
  const std::span<const std::uint8_t> reach = m_graph.Net().overlay.reach;
  return reach.size() != m_graph.FeatureCount() || reach[nFeature] != 0;
}

bool RouteEngine::SnapTo(const tagLonLat& pt, double dAngle, bool bOpenOnly, Snap& snap) const {
  NearestSegments nearest(m_graph, pt, dAngle);
  // Search squares around the point that grow until they hold every segment
  // within the limit: a segment that near has a feature box meeting the
  // square. Features are visited in index order, so ties go to the lowest.
  std::vector<std::uint32_t> found;
  for (double dRadius = kFirstSnapMetres;; dRadius = std::min(kMaxSnapMetres, 2 * dRadius)) {
    found.clear();
    vxnet::SearchFeatureGrid(m_graph.Net(), nearest.Square(dRadius), found);
    std::sort(found.begin(), found.end());
    for (const std::uint32_t f : found) {
      if (!m_graph.IsUsable(f) || (bOpenOnly && IsBlocked(f))) {
        continue;
      }
      nearest.VisitFeature(f, InLargeComponent(f));
    }
    if (nearest.Limit() <= dRadius || dRadius >= kMaxSnapMetres) {
      break;
    }
  }

  const NearestSegments::Best& best = nearest.Pick();
  if (!(best.dMetres <= kMaxSnapMetres)) {
    return false;
  }
  const std::uint32_t f = best.nFeature;
  const std::span<const Bin_LonLat> p = m_graph.Points(f);
  const std::size_t n = p.size();
  std::uint32_t k = best.nSeg;
  const Bin_LonLat& a = p[k];
  const Bin_LonLat& b = p[k + 1];
  snap.nFeature = f;
  snap.pt = {
      static_cast<std::int32_t>(std::lround(a.lon + best.t * (static_cast<double>(b.lon) - a.lon))),
      static_cast<std::int32_t>(
          std::lround(a.lat + best.t * (static_cast<double>(b.lat) - a.lat)))};
  if (SamePoint(snap.pt, b) && k + 2 < n) {
    ++k;
  }
  snap.nSeg = k;
  const vxnet::Feature& ft = m_graph.Net().features[f];
  snap.nNode = SamePoint(snap.pt, p[0])       ? static_cast<std::int64_t>(ft.nFromNode)
               : SamePoint(snap.pt, p[n - 1]) ? static_cast<std::int64_t>(ft.nToNode)
                                              : -1;
  return true;
}

void RouteEngine::LegPoints(HalfEdge h, const Snap* pFrom, const Snap* pTo,
                            std::vector<Bin_LonLat>& pts) const {
  const std::uint32_t f = FeatureOf(h);
  const bool bRev = IsReversed(h);
  const std::span<const Bin_LonLat> p = m_graph.Points(f);
  const long n = static_cast<long>(p.size());
  pts.clear();
  long nFirst = bRev ? n - 1 : 0;
  long nLast = bRev ? 0 : n - 1;
  if (pFrom != nullptr) {
    PushPoint(pts, pFrom->pt);
    nFirst = bRev ? static_cast<long>(pFrom->nSeg) : static_cast<long>(pFrom->nSeg) + 1;
  }
  if (pTo != nullptr) {
    nLast = bRev ? static_cast<long>(pTo->nSeg) + 1 : static_cast<long>(pTo->nSeg);
  }
  const long nStep = bRev ? -1 : 1;
  for (long i = nFirst; bRev ? i >= nLast : i <= nLast; i += nStep) {
    PushPoint(pts, p[i]);
  }
  if (pTo != nullptr) {
    PushPoint(pts, pTo->pt);
  }
}

double RouteEngine::PriceOf(std::uint32_t nFeature, const std::vector<Bin_LonLat>& pts) const {
  double dLen = 0.0;
  for (std::size_t i = 0; i + 1 < pts.size(); ++i) {
    dLen += SegmentLength(LonLatOf(pts[i]), LonLatOf(pts[i + 1]));
  }
  return m_cost.bShortest ? dLen : dLen / m_graph.SpeedOf(nFeature);
}

void RouteEngine::StartWays(const Snap& s, const Snap& t, bool bHeading, double dHeading,
                            std::vector<HalfEdge>& ways, std::vector<double>& bearings) const {
  if (s.nNode >= 0) {
    for (HalfEdge h : m_graph.Leaving(static_cast<std::uint32_t>(s.nNode))) {
      const bool bTargetOn = t.nNode < 0 && FeatureOf(h) == t.nFeature;
      if (m_graph.IsUsable(FeatureOf(h)) && (!IsBlocked(FeatureOf(h)) || bTargetOn) &&
          m_graph.AllowsDirection(h)) {
        ways.push_back(h);
        bearings.push_back(m_graph.StartBearing(h));
      }
    }
    return;
  }
  const std::span<const Bin_LonLat> p = m_graph.Points(s.nFeature);
  const double dFwd = BearingOf(p[s.nSeg].lon, p[s.nSeg].lat, p[s.nSeg + 1].lon, p[s.nSeg + 1].lat);
  // On a closed road the route only turns back to leave it: never on in
  // the direction of travel (unknown without a heading).
  const bool bClosed = IsBlocked(s.nFeature) && bHeading;
  for (bool bRev : {false, true}) {
    const HalfEdge h = HalfEdgeOf(s.nFeature, bRev);
    const double dBearing = bRev ? dFwd + 180.0 : dFwd;
    if (m_graph.AllowsDirection(h) && !(bClosed && BearingGap(dBearing, dHeading) <= 90.0)) {
      ways.push_back(h);
      bearings.push_back(dBearing);
    }
  }
}

bool RouteEngine::TargetAhead(const Snap& s, const Snap& t, HalfEdge h) const {
  const Bin_LonLat& pk = m_graph.Points(s.nFeature)[s.nSeg];
  return IsReversed(h)
             ? (t.nSeg < s.nSeg || (t.nSeg == s.nSeg && Dist2(t.pt, pk) <= Dist2(s.pt, pk)))
             : (t.nSeg > s.nSeg || (t.nSeg == s.nSeg && Dist2(t.pt, pk) >= Dist2(s.pt, pk)));
}

void RouteEngine::BuildStart(const Snap& s, const Snap& t, double dAngle,
                             SearchStart& start) const {
  start.legs.clear();
  start.bAtNode = s.nNode >= 0;
  const bool bHeading = HasHeading(dAngle);
  const double dHeading = bHeading ? std::fmod(dAngle, 360.0) : 0.0;
  std::vector<HalfEdge> ways;
  std::vector<double> bearings;
  StartWays(s, t, bHeading, dHeading, ways, bearings);
  bool bAnyMatch = false;
  for (double b : bearings) {
    bAnyMatch = bAnyMatch || (bHeading && BearingGap(b, dHeading) <= kHeadingDegrees);
  }
  std::vector<Bin_LonLat> pts;
  for (std::size_t i = 0; i < ways.size(); ++i) {
    const HalfEdge h = ways[i];
    const bool bOff = bAnyMatch && BearingGap(bearings[i], dHeading) > kHeadingDegrees;
    StartLeg leg{h, bOff ? kOffHeading : 0.0, -1.0};
    if (!start.bAtNode) {
      LegPoints(h, &s, nullptr, pts);
      leg.dCost += PriceOf(s.nFeature, pts);
      // The target further along the same feature in this direction.
      if (t.nNode < 0 && t.nFeature == s.nFeature && TargetAhead(s, t, h)) {
        LegPoints(h, &s, &t, pts);
        leg.dDirect = (bOff ? kOffHeading : 0.0) + PriceOf(s.nFeature, pts);
      }
    }
    start.legs.push_back(leg);
  }
}

void RouteEngine::BuildTarget(const Snap& t, SearchTarget& target) const {
  target.bAtNode = t.nNode >= 0;
  target.nNode = target.bAtNode ? static_cast<std::uint32_t>(t.nNode) : 0;
  target.nFeature = t.nFeature;
  target.dX = t.pt.lon;
  target.dY = t.pt.lat;
  if (!target.bAtNode) {
    std::vector<Bin_LonLat> pts;
    for (bool bRev : {false, true}) {
      LegPoints(HalfEdgeOf(t.nFeature, bRev), nullptr, &t, pts);
      target.dPartial[bRev ? 1 : 0] = PriceOf(t.nFeature, pts);
    }
  }
}

int RouteEngine::FindPath(const tagLonLat& ptStart, const tagLonLat& ptEnd, double dAngle,
                          double dRouteArg1, const char* szRouteArg, double dRouteArg2) {
  Reset();
  if (!ValidPoint(ptStart) || !ValidPoint(ptEnd)) {
    return -1;
  }
  if (szRouteArg == nullptr || *szRouteArg == '\0' || strcasecmp(szRouteArg, "fastest") == 0) {
    m_cost.bShortest = false;
  } else if (strcasecmp(szRouteArg, "shortest") == 0) {
    m_cost.bShortest = true;
  } else {
    return -1;
  }
  m_cost.dTurnPenalty = Penalty(dRouteArg1);
  m_cost.dUTurnPenalty = Penalty(dRouteArg2);

  Snap s, t;
  if (!SnapTo(ptStart, dAngle, false, s) || !SnapTo(ptEnd, -1.0, false, t)) {
    return -1;
  }
  if (SamePoint(s.pt, t.pt)) {
    m_bFound = true;  // already there: a route without edges
    return 0;
  }
  SearchStart start;
  SearchTarget target;
  BuildStart(s, t, dAngle, start);
  BuildTarget(t, target);
  std::vector<RouteLeg> legs;
  bool bRouted = m_search.Run(start, target, m_cost, m_pBlocked.get(), m_blockedList, legs);
  // Started on a closed road without a way back along it: from the nearest
  // open road instead.
  if (!bRouted && s.nNode < 0 && IsBlocked(s.nFeature) && SnapTo(ptStart, dAngle, true, s) &&
      !SamePoint(s.pt, t.pt)) {
    BuildStart(s, t, dAngle, start);
    bRouted = m_search.Run(start, target, m_cost, m_pBlocked.get(), m_blockedList, legs);
  }
  if (!bRouted) {
    return -1;
  }

  std::vector<Bin_LonLat> pts;
  for (const RouteLeg& leg : legs) {
    LegPoints(leg.h, leg.bFromStart ? &s : nullptr, leg.bToTarget ? &t : nullptr, pts);
    // Edges longer than a point count can say go out in pieces that share
    // their joining point.
    for (std::size_t i = 0; i + 1 < pts.size(); i += kMaxEdgePoints - 1) {
      const std::size_t nEnd = std::min(pts.size(), i + kMaxEdgePoints);
      m_route.push_back({FeatureOf(leg.h), IsReversed(leg.h),
                         std::vector<Bin_LonLat>(pts.begin() + static_cast<long>(i),
                                                 pts.begin() + static_cast<long>(nEnd))});
    }
  }
  m_bFound = true;
  return static_cast<int>(std::min<std::size_t>(m_route.size(), 0x7FFFFFFF));
}

int RouteEngine::RetrieveStart() {
  m_nNext = 0;
  // A route of no edges (start and target on one point) has nothing to hand
  // out: a caller that replaces its path with the retrieved edges must not
  // be told to go ahead.
  return m_bFound && !m_route.empty() ? 1 : 0;
}

int RouteEngine::RetrieveNextEdge(char* szCode, char* szStr1, char* szStr2, char* szRoadAttr,
                                  VRO_FEATURE_ID& id, double& dEdgeLen, tagLonLat*& pPts) {
  if (!m_bFound || m_nNext >= m_route.size()) {
    return 0;
  }
  const DeliveredEdge& e = m_route[m_nNext++];
  const vxnet::Feature& ft = m_graph.Net().features[e.nFeature];
  m_pts.resize(e.pts.size());
  std::transform(e.pts.begin(), e.pts.end(), m_pts.begin(), LonLatOf);
  const unsigned short wPtNum = static_cast<unsigned short>(m_pts.size());
  // The code and the road attribute as interfaces/VroRoute.h documents them.
  if (szCode != nullptr) {
    vro::FormatEdgeCode({ft.nRoadClass, ft.nOneWay != 0, e.bReversed}, szCode);
  }
  if (szStr1 != nullptr) {
    std::snprintf(szStr1, vro::kStr1Size, "R%u", unsigned{ft.nRoadClass});
  }
  if (szStr2 != nullptr) {
    vro::CopyTextUtf8(szStr2, vro::kNameSize, m_graph.Net().NameOf(ft.nName));
  }
  if (szRoadAttr != nullptr) {
    std::snprintf(szRoadAttr, vro::kAttrSize, "%u", unsigned{ft.nMaxSpeed});
  }
  id = vxnet::FeatureIdOf(e.nFeature, e.bReversed);
  dEdgeLen = LineLength(wPtNum, m_pts.data());
  pPts = m_pts.data();
  return wPtNum;
}

void RouteEngine::Reset() {
  m_route.clear();
  m_bFound = false;
  m_nNext = 0;
}

void RouteEngine::AddBlock(const VRO_FEATURE_ID& id) {
  std::uint32_t nFeature = 0;
  bool bReversed = false;
  if (!vxnet::DecodeFeatureId(id, nFeature, bReversed) || nFeature >= m_graph.FeatureCount() ||
      IsBlocked(nFeature)) {
    return;
  }
  if (!m_pBlocked) {
    m_pBlocked.reset(static_cast<std::uint8_t*>(std::calloc(m_graph.FeatureCount(), 1)));
    if (!m_pBlocked) {
      throw std::bad_alloc();
    }
  }
  m_blockedList.push_back(nFeature);
  m_pBlocked[nFeature] = 1;
}

void RouteEngine::RemoveAllBlocks() {
  for (const std::uint32_t f : m_blockedList) {
    m_pBlocked[f] = 0;
  }
  m_blockedList.clear();
}

std::size_t RouteEngine::MemoryBytes() const {
  std::size_t n = sizeof(*this) + m_graph.MemoryBytes() + m_search.MemoryBytes() +
                  (m_pBlocked ? m_graph.FeatureCount() : 0) +
                  m_blockedList.capacity() * sizeof(std::uint32_t) +
                  m_route.capacity() * sizeof(DeliveredEdge) + m_pts.capacity() * sizeof(tagLonLat);
  for (const DeliveredEdge& e : m_route) {
    n += e.pts.capacity() * sizeof(Bin_LonLat);
  }
  return n;
}

}  // namespace vxroute
