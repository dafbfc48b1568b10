// The route engine's checked access to the network and its graph.
#include "route/RouteGraph.h"

#include <algorithm>
#include <tuple>

#include "network/FeatureBoxGrid.h"

namespace vxroute {

RouteGraph::RouteGraph(const vxnet::NetworkView& net) : m_net(net) {
  if (!m_net.graph.Built()) {
    m_ownGraph = vxnet::BuildRouteGraph(net);
    const vxnet::GraphData& g = m_ownGraph;
    m_net.graph = {g.lengths, g.bearings, g.flags, g.leavingStart, g.leaving, g.info};
  }
  if (m_net.grid.levels.empty()) {
    m_ownGrid = vxnet::BuildFeatureGrid(net);
    m_net.grid = {m_ownGrid.levels, m_ownGrid.cellStart, m_ownGrid.items};
  }
}

bool RouteGraph::IsUsable(std::uint32_t nFeature) const {
  // The graph arrays have one entry per feature (checked when a compiled map
  // is opened, true by construction otherwise).
  if (nFeature >= m_net.features.size() || (m_net.graph.flags[nFeature] & vxnet::kUsable) == 0)
    return false;
  const float fLength = m_net.graph.lengths[nFeature];
  const vxnet::Feature& f = m_net.features[nFeature];
  return fLength >= 0.0f && std::isfinite(fLength) && f.nFromNode < m_net.nodes.size() &&
         f.nToNode < m_net.nodes.size() && !m_net.PointsOf(f).empty();
}

bool RouteGraph::AllowsDirection(HalfEdge h) const {
  const std::int8_t nOneWay = m_net.features[FeatureOf(h)].nOneWay;
  return nOneWay == 0 || (nOneWay > 0) != IsReversed(h);
}

std::uint32_t RouteGraph::StartNode(HalfEdge h) const {
  const vxnet::Feature& ft = m_net.features[FeatureOf(h)];
  return IsReversed(h) ? ft.nToNode : ft.nFromNode;
}

std::uint32_t RouteGraph::EndNode(HalfEdge h) const {
  const vxnet::Feature& ft = m_net.features[FeatureOf(h)];
  return IsReversed(h) ? ft.nFromNode : ft.nToNode;
}

double RouteGraph::StartBearing(HalfEdge h) const {
  // bearings[h] is the feature's step at h's start, taken forward.
  const double d = vxnet::BearingDegrees(m_net.graph.bearings[h]);
  return IsReversed(h) ? std::fmod(d + 180.0, 360.0) : d;
}

double RouteGraph::EndBearing(HalfEdge h) const {
  const double d = vxnet::BearingDegrees(m_net.graph.bearings[h ^ 1u]);
  return IsReversed(h) ? std::fmod(d + 180.0, 360.0) : d;
}

bool RouteGraph::IsForbidden(std::uint32_t nFrom, std::uint32_t nVia, std::uint32_t nTo) const {
  if ((m_net.graph.flags[nFrom] & vxnet::kTurnRule) == 0) {
    return false;
  }
  const vxnet::ForbiddenTurn key{nFrom, nVia, nTo};
  return std::binary_search(m_net.forbidden.begin(), m_net.forbidden.end(), key,
                            [](const vxnet::ForbiddenTurn& a, const vxnet::ForbiddenTurn& b) {
                              return std::tie(a.nFrom, a.nVia, a.nTo) <
                                     std::tie(b.nFrom, b.nVia, b.nTo);
                            });
}

std::size_t RouteGraph::MemoryBytes() const {
  const auto bytes = [](const auto& v) { return v.capacity() * sizeof(v[0]); };
  return bytes(m_ownGraph.lengths) + bytes(m_ownGraph.bearings) + bytes(m_ownGraph.flags) +
         bytes(m_ownGraph.leavingStart) + bytes(m_ownGraph.leaving) + bytes(m_ownGrid.levels) +
         bytes(m_ownGrid.cellStart) + bytes(m_ownGrid.items);
}

}  // namespace vxroute
