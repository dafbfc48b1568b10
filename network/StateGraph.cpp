// The state graph's checked access to the network and its route graph.
#include "network/StateGraph.h"

#include <algorithm>
#include <tuple>

namespace vxnet {

bool StateGraph::IsUsable(std::uint32_t nFeature) const {
  // The graph arrays have one entry per feature (checked when a compiled map
  // is opened, true by construction otherwise).
  if (nFeature >= m_net.features.size() || (m_net.graph.flags[nFeature] & kUsable) == 0)
    return false;
  const float fLength = m_net.graph.lengths[nFeature];
  const Feature& f = m_net.features[nFeature];
  return fLength >= 0.0f && std::isfinite(fLength) && f.nFromNode < m_net.nodes.size() &&
         f.nToNode < m_net.nodes.size() && !m_net.PointsOf(f).empty();
}

double StateGraph::StartBearing(HalfEdge h) const {
  // bearings[h] is the feature's step at h's start, taken forward.
  const double d = BearingDegrees(m_net.graph.bearings[h]);
  return IsReversed(h) ? std::fmod(d + 180.0, 360.0) : d;
}

double StateGraph::EndBearing(HalfEdge h) const {
  const double d = BearingDegrees(m_net.graph.bearings[h ^ 1u]);
  return IsReversed(h) ? std::fmod(d + 180.0, 360.0) : d;
}

bool StateGraph::IsForbidden(std::uint32_t nFrom, std::uint32_t nVia, std::uint32_t nTo) const {
  if ((m_net.graph.flags[nFrom] & kTurnRule) == 0) {
    return false;
  }
  const ForbiddenTurn key{nFrom, nVia, nTo};
  return std::binary_search(m_net.forbidden.begin(), m_net.forbidden.end(), key,
                            [](const ForbiddenTurn& a, const ForbiddenTurn& b) {
                              return std::tie(a.nFrom, a.nVia, a.nTo) <
                                     std::tie(b.nFrom, b.nVia, b.nTo);
                            });
}

State StateGraph::Step(State s, HalfEdge b) const {
  const std::span<const ViaStep> steps = m_net.graph.steps;
  const auto it = std::lower_bound(
      steps.begin(), steps.end(), ViaStep{s, b, 0}, [](const ViaStep& x, const ViaStep& y) {
        return std::tie(x.nState, x.nTurn) < std::tie(y.nState, y.nTurn);
      });
  return it != steps.end() && it->nState == s && it->nTurn == b ? it->nNext : b;
}

}  // namespace vxnet
