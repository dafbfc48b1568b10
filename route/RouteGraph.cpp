// The parts of the route engine's graph a view lacks, built from it.
#include "route/RouteGraph.h"

#include "network/FeatureBoxGrid.h"
#include "network/Overlay.h"
#include "network/RouteGraphData.h"

namespace vxroute {

BuiltParts::BuiltParts(const vxnet::NetworkView& view) : net(view) {
  // A compiled map is read as it is: one without an overlay (format 1.0) is
  // searched without, whatever its records say.
  const bool bImported = !net.graph.Built();
  if (bImported) {
    graph = vxnet::BuildRouteGraph(view);
    net.graph = graph.View();
  }
  if (net.grid.levels.empty()) {
    grid = vxnet::BuildFeatureGrid(view);
    net.grid = {grid.levels, grid.cellStart, grid.items};
  }
  if (bImported) {
    const vxnet::StateGraph g(net);
    if (net.FeatureCount() <= kOverlayAtOpenFeatures) {
      overlay = vxnet::BuildOverlay(g);
    } else {
      overlay.reach = vxnet::ComputeReach(g);
    }
    net.overlay = overlay.View();
  }
}

std::size_t RouteGraph::MemoryBytes() const {
  const auto bytes = [](const auto& v) { return v.capacity() * sizeof(v[0]); };
  return graph.Bytes() + bytes(grid.levels) + bytes(grid.cellStart) + bytes(grid.items) +
         overlay.Bytes();
}

}  // namespace vxroute
