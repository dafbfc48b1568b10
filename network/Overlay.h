// Building the route engine's preprocessing (network/OverlayView.h): the
// strongly connected components of the state graph and the multi-level
// overlay with its cliques for both metrics.
#ifndef VX_NETWORK_OVERLAY_H
#define VX_NETWORK_OVERLAY_H

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "network/OverlayView.h"
#include "network/StateGraph.h"

namespace vxnet {

/// How the overlay is built.
struct OverlayOptions {
  /// Nodes of a level-1 cell at most; 0 picks by the network's size (512 on
  /// a country, fewer on a town, at least 16).
  std::uint32_t nCellNodes = 0;
  /// Each level's cells hold up to 2^nFanoutBits times more nodes.
  std::uint32_t nFanoutBits = 3;
  std::uint32_t nLevels = 4;
  /// The penalties the cliques serve (queries with others search without them).
  double dTurnPenalty = 0.0;
  double dUTurnPenalty = 0.0;
  /// Threads for the cliques.
  unsigned nThreads = 2;
  /// Called with the name of each step as it begins, when set.
  std::function<void(const std::string&)> progress;
};

/// A component is large from this many states on, or from half the largest
/// component's size when that is smaller.
inline constexpr std::uint32_t kLargeComponentStates = 1000;

/// Computes the components (reach) and the overlay of graph g. Throws
/// std::bad_alloc when memory runs out.
OverlayData BuildOverlay(const StateGraph& g, const OverlayOptions& options = {});

/// Per feature the component flags of graph g (no blocks); empty (every
/// feature counts as in a large component) for a graph that fails HasFewTurns.
std::vector<std::uint8_t> ComputeReach(const StateGraph& g);

/// Graphs with more turns than this per state (many features between the
/// same two nodes) get neither components nor overlay.
inline constexpr std::uint64_t kMaxTurnsPerState = 64;
/// True when g has at most about kMaxTurnsPerState turns per state.
bool HasFewTurns(const StateGraph& g);

}  // namespace vxnet

#endif
