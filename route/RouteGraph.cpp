// Index of the road network for the route search.
#include "route/RouteGraph.h"

#include <algorithm>
#include <cmath>
#include <tuple>

#include "interfaces/VroGeo.h"
#include "route/DegreePoint.h"

namespace vxroute {

namespace {

constexpr double kPi = 3.14159265358979323846;
// Metres per degree: along a meridian at least 110574 (its value at the
// equator), along a parallel at least 111319 times the cosine of latitude.
constexpr double kMinMetresPerDegreeLat = 110574.0;
constexpr double kMinMetresPerDegreeLon = 111319.0;
// Slack for the flat-plane estimate over longer distances.
constexpr double kLowerBoundSlack = 0.99;
constexpr double kMinSpeedKmh = 5.0;
constexpr double kMaxSpeedKmh = 200.0;
// Half-edge numbers and the search's parent codes must fit 32 bits.
constexpr std::size_t kMaxFeatures = 0x7FFFFFF0u;

bool ForbiddenLess(const vxmap::ForbiddenTurn& a, const vxmap::ForbiddenTurn& b) {
  return std::tie(a.nFrom, a.nVia, a.nTo) < std::tie(b.nFrom, b.nVia, b.nTo);
}

}  // namespace

RouteGraph::RouteGraph(const vxmap::RoadNetwork& net) : m_net(net) {
  const std::size_t nFeatures = net.features.size();
  const std::size_t nNodes = net.nodes.size();
  m_nFlags.assign(nFeatures, 0);
  m_dLength.assign(nFeatures, 0.0);
  m_fBearing.assign(nFeatures * 2, 0.0f);
  m_nLeavingStart.assign(nNodes + 1, 0);

  for (std::size_t f = 0; f < nFeatures; ++f) {
    const vxmap::Feature& ft = net.features[f];
    const bool bConsistent = f < kMaxFeatures && ft.nPointCount >= 2 &&
                             ft.nFirstPoint <= net.points.size() &&
                             ft.nPointCount <= net.points.size() - ft.nFirstPoint &&
                             ft.nFromNode < nNodes && ft.nToNode < nNodes;
    if (!bConsistent || !ft.bRoutable) {
      continue;
    }
    m_nFlags[f] = 1;
    const Bin_LonLat* p = &net.points[ft.nFirstPoint];
    double dLen = 0.0;
    for (std::uint32_t i = 0; i + 1 < ft.nPointCount; ++i) {
      dLen += SegmentLength(LonLatOf(p[i]), LonLatOf(p[i + 1]));
    }
    m_dLength[f] = dLen;
    const std::uint32_t n = ft.nPointCount;
    m_fBearing[2 * f] = static_cast<float>(BearingOf(p[0].lon, p[0].lat, p[1].lon, p[1].lat));
    m_fBearing[2 * f + 1] =
        static_cast<float>(BearingOf(p[n - 2].lon, p[n - 2].lat, p[n - 1].lon, p[n - 1].lat));
    m_dMaxSpeed = std::max(m_dMaxSpeed, SpeedOf(static_cast<std::uint32_t>(f)));
    ++m_nLeavingStart[ft.nFromNode + 1];
    ++m_nLeavingStart[ft.nToNode + 1];
  }
  for (std::size_t v = 0; v < nNodes; ++v) {
    m_nLeavingStart[v + 1] += m_nLeavingStart[v];
  }
  m_leaving.resize(m_nLeavingStart[nNodes]);
  std::vector<std::uint32_t> nFill(m_nLeavingStart.begin(), m_nLeavingStart.end() - 1);
  for (std::uint32_t f = 0; f < nFeatures; ++f) {
    if (IsUsable(f)) {
      m_leaving[nFill[net.features[f].nFromNode]++] = HalfEdgeOf(f, false);
      m_leaving[nFill[net.features[f].nToNode]++] = HalfEdgeOf(f, true);
    }
  }

  m_forbidden = net.forbidden;
  std::sort(m_forbidden.begin(), m_forbidden.end(), ForbiddenLess);
  for (const vxmap::ForbiddenTurn& t : m_forbidden) {
    if (t.nFrom < nFeatures) {
      m_nFlags[t.nFrom] |= 2u;
    }
  }

  double dMaxAbsLat = 0.0;
  for (const Bin_LonLat& p : net.nodes) {
    dMaxAbsLat = std::max(dMaxAbsLat, std::fabs(p.lat / 100000.0));
  }
  dMaxAbsLat = std::min(dMaxAbsLat, 90.0);
  m_dLatScale = kMinMetresPerDegreeLat / 100000.0 * kLowerBoundSlack;
  m_dLonScale =
      kMinMetresPerDegreeLon * std::cos(dMaxAbsLat * kPi / 180.0) / 100000.0 * kLowerBoundSlack;
}

bool RouteGraph::AllowsDirection(HalfEdge h) const {
  const std::int8_t nOneWay = m_net.features[FeatureOf(h)].nOneWay;
  return nOneWay == 0 || (nOneWay > 0) != IsReversed(h);
}

double RouteGraph::SpeedOf(std::uint32_t nFeature) const {
  const vxmap::Feature& ft = m_net.features[nFeature];
  const double dKmh =
      ft.nMaxSpeed > 0 ? std::clamp(static_cast<double>(ft.nMaxSpeed), kMinSpeedKmh, kMaxSpeedKmh)
                       : ClassSpeedKmh(ft.nRoadClass);
  return dKmh / 3.6;
}

std::uint32_t RouteGraph::StartNode(HalfEdge h) const {
  const vxmap::Feature& ft = m_net.features[FeatureOf(h)];
  return IsReversed(h) ? ft.nToNode : ft.nFromNode;
}

std::uint32_t RouteGraph::EndNode(HalfEdge h) const {
  const vxmap::Feature& ft = m_net.features[FeatureOf(h)];
  return IsReversed(h) ? ft.nFromNode : ft.nToNode;
}

double RouteGraph::StartBearing(HalfEdge h) const {
  // m_fBearing[h] is the feature's step at h's start, taken forward.
  return IsReversed(h) ? std::fmod(m_fBearing[h] + 180.0, 360.0) : m_fBearing[h];
}

double RouteGraph::EndBearing(HalfEdge h) const {
  return IsReversed(h) ? std::fmod(m_fBearing[h ^ 1u] + 180.0, 360.0) : m_fBearing[h ^ 1u];
}

std::span<const HalfEdge> RouteGraph::Leaving(std::uint32_t nNode) const {
  return {m_leaving.data() + m_nLeavingStart[nNode],
          m_nLeavingStart[nNode + 1] - m_nLeavingStart[nNode]};
}

bool RouteGraph::IsForbidden(std::uint32_t nFrom, std::uint32_t nVia, std::uint32_t nTo) const {
  if (nFrom >= m_nFlags.size() || (m_nFlags[nFrom] & 2u) == 0) {
    return false;
  }
  const vxmap::ForbiddenTurn key{nFrom, nVia, nTo};
  return std::binary_search(m_forbidden.begin(), m_forbidden.end(), key, ForbiddenLess);
}

const Bin_LonLat* RouteGraph::Points(std::uint32_t nFeature) const {
  return &m_net.points[m_net.features[nFeature].nFirstPoint];
}

std::uint32_t RouteGraph::PointCount(std::uint32_t nFeature) const {
  return m_net.features[nFeature].nPointCount;
}

double RouteGraph::LowerBoundMetres(double dX1, double dY1, double dX2, double dY2) const {
  const double dx = (dX2 - dX1) * m_dLonScale;
  const double dy = (dY2 - dY1) * m_dLatScale;
  return std::sqrt(dx * dx + dy * dy);
}

std::size_t RouteGraph::MemoryBytes() const {
  return m_nFlags.capacity() + m_dLength.capacity() * sizeof(double) +
         m_fBearing.capacity() * sizeof(float) +
         m_nLeavingStart.capacity() * sizeof(std::uint32_t) +
         m_leaving.capacity() * sizeof(HalfEdge) +
         m_forbidden.capacity() * sizeof(vxmap::ForbiddenTurn);
}

}  // namespace vxroute
