// The road network as the route engine searches it: the turn-aware state
// graph (network/StateGraph.h) over a network view, with the route graph, the
// feature-box grid and the overlay. A view without them (a network imported
// into memory) gets them built here; a compiled map's are used as they are.
#ifndef VX_ROUTE_ROUTEGRAPH_H
#define VX_ROUTE_ROUTEGRAPH_H

#include <cstddef>
#include <cstdint>

#include "network/RoadNetwork.h"
#include "network/StateGraph.h"

namespace vxroute {

using vxnet::BearingGap;
using vxnet::BearingOf;
using vxnet::FeatureOf;
using vxnet::HalfEdge;
using vxnet::HalfEdgeOf;
using vxnet::IsReversed;

/// Imported networks (without a stored graph) up to this many features get
/// their overlay built when the engine opens on them; larger ones only their
/// components.
inline constexpr std::uint32_t kOverlayAtOpenFeatures = 100000;

/// The graph, grid and overlay a view lacks, built from it.
struct BuiltParts {
  explicit BuiltParts(const vxnet::NetworkView& view);
  vxnet::GraphData graph;
  vxnet::GridData grid;
  vxnet::OverlayData overlay;
  vxnet::NetworkView net;  ///< the view with the built parts filled in
};

class RouteGraph : private BuiltParts, public vxnet::StateGraph {
 public:
  /// Over net, whose arrays must outlive this; builds what net lacks.
  /// Throws std::bad_alloc when memory runs out.
  explicit RouteGraph(const vxnet::NetworkView& net)
      : BuiltParts(net), vxnet::StateGraph(BuiltParts::net) {}

  /// Bytes of the graph and grid built here (none over a compiled map).
  std::size_t MemoryBytes() const;
};

}  // namespace vxroute

#endif
