// The route engine's preprocessing as it is stored: a multi-level overlay
// over the turn-aware state graph (network/StateGraph.h) and the strongly
// connected components of that graph (network/Overlay.h builds them).
//
// The network nodes are cut into nested cells (level 1 the smallest; each
// cell of level l + 1 a union of cells of level l). A state lies in the cell
// of its start node; a state whose end node lies in another cell of level l
// is a cut state of level l (and of every level below). The cut states are
// the overlay's vertices. Of a cell C of level l, the entries are the cut
// states of level >= l that end in C, the exits those that start in C; C's
// clique holds, per metric, the price of the cheapest way from each entry
// (from its start, the entry itself driven) to the start of each exit whose
// states in between all start and end in C. A search enters a cell at an
// entry and leaves it by a clique arc to an exit, unless the cell is open
// (holds its target or a block), where it descends a level.
#ifndef VX_NETWORK_OVERLAYVIEW_H
#define VX_NETWORK_OVERLAYVIEW_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "interfaces/VroTypes.h"

namespace vxnet {

/// A state of the route graph: a half-edge (network/StateGraph.h).
using State = std::uint32_t;

/// The costs the graph serves: travel time in seconds, or length in metres.
enum class Metric : std::uint8_t { kFastest = 0, kShortest = 1 };
inline constexpr int kMetricCount = 2;

inline constexpr std::uint32_t kMaxOverlayLevels = 6;
inline constexpr std::uint32_t kNoCell = 0xFFFFFFFFu;

/// The overlay's figures. 80 bytes.
struct OverlayInfo {
  std::uint32_t nLevels;    ///< 1..kMaxOverlayLevels; 0: no overlay
  std::uint32_t nStates;    ///< states of the graph it was built for
  std::uint32_t nVertices;  ///< cut states
  std::uint32_t nReserved;  ///< 0
  double dTurnPenalty;      ///< the penalties the cliques were computed with
  double dUTurnPenalty;
  /// Cells of level l + 1 are the global cell indices [nCellEnd[l-1], nCellEnd[l]).
  std::uint32_t nCellEnd[kMaxOverlayLevels];
  /// Vertices [0, nVertexEnd[l]) are the cut states of level >= l + 1.
  std::uint32_t nVertexEnd[kMaxOverlayLevels];
};
static_assert(sizeof(OverlayInfo) == 80);

/// One cell: its entries, exits (vertex ids, each list ascending) and its
/// clique, entries x exits weights row by row. 24 bytes.
struct OverlayCell {
  std::uint32_t nFirstEntry;
  std::uint32_t nEntryCount;
  std::uint32_t nFirstExit;
  std::uint32_t nExitCount;
  std::uint64_t nFirstWeight;
};
static_assert(sizeof(OverlayCell) == 24);

/// Per-feature flags of the component figures.
inline constexpr std::uint8_t kForwardInLarge = 1;   ///< its forward state is in a large component
inline constexpr std::uint8_t kBackwardInLarge = 2;  ///< its backward state is

/// The overlay as arrays; empty when not built. Every index read from it is
/// checked before it is followed (a compiled map's records may say anything).
struct OverlayView {
  OverlayInfo info{};
  std::span<const OverlayCell> cells;          ///< all levels, level 1 first
  std::span<const std::uint32_t> parents;      ///< per cell, its cell one level up (kNoCell on top)
  std::span<const std::uint32_t> nodeCells;    ///< per network node, its level-1 cell
  std::span<const std::uint32_t> vertexState;  ///< per vertex, its state
  std::span<const std::uint32_t> byState;      ///< the vertices ordered by state
  std::span<const Bin_LonLat> vertexPoints;    ///< per vertex, its state's start node point
  std::span<const std::uint32_t> entries;      ///< vertex ids, cell after cell
  std::span<const std::uint32_t> exits;        ///< vertex ids, cell after cell
  std::span<const float> weights[kMetricCount];
  std::span<const std::uint8_t> reach;  ///< per feature, kForwardInLarge | kBackwardInLarge

  bool Built() const { return info.nLevels > 0; }
  /// The cell of level nLevel (1..) holding node nNode; kNoCell when out of range.
  std::uint32_t CellOf(std::uint32_t nNode, std::uint32_t nLevel) const;
  /// The state of vertex v; kNoCell for no vertex or a state out of range.
  State StateOf(std::uint32_t v) const {
    return v < vertexState.size() && vertexState[v] < info.nStates ? vertexState[v] : kNoCell;
  }
  /// The highest level at which vertex v is a cut state (0 for no vertex).
  std::uint32_t CutLevel(std::uint32_t v) const;
  /// The vertex of state s, or kNoCell when s is no cut state.
  std::uint32_t VertexOf(State s) const;
  /// Row of vertex v among the entries of cell c, or kNoCell.
  std::uint32_t EntryRow(std::uint32_t c, std::uint32_t v) const;
  /// The exits of cell c (empty for a cell out of range or a corrupt one).
  std::span<const std::uint32_t> ExitsOf(std::uint32_t c) const;
  /// The clique row of entry row r of cell c for metric m, as long as the
  /// exits (empty when out of range).
  std::span<const float> Row(std::uint32_t c, std::uint32_t r, Metric m) const;
};

/// The overlay in vectors.
struct OverlayData {
  OverlayInfo info{};
  std::vector<OverlayCell> cells;
  std::vector<std::uint32_t> parents;
  std::vector<std::uint32_t> nodeCells;
  std::vector<std::uint32_t> vertexState;
  std::vector<std::uint32_t> byState;
  std::vector<Bin_LonLat> vertexPoints;
  std::vector<std::uint32_t> entries;
  std::vector<std::uint32_t> exits;
  std::array<std::vector<float>, kMetricCount> weights;
  std::vector<std::uint8_t> reach;

  OverlayView View() const;
  std::size_t Bytes() const;
};

}  // namespace vxnet

#endif
