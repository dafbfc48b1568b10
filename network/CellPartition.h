// Nested cells of the network nodes for the overlay (network/Overlay.h): a
// recursive bisection, each cut the straight sweep (west-east, south-north
// or along a diagonal) that crosses the fewest features for the balance it
// keeps, until a range fits the cell size of a level.
#ifndef VX_NETWORK_CELLPARTITION_H
#define VX_NETWORK_CELLPARTITION_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "network/StateGraph.h"

namespace vxnet {

struct CellPartition {
  std::vector<std::uint32_t> nodeCells;  ///< per node, its level-1 cell
  std::vector<std::uint32_t> parents;    ///< per cell, its cell one level up (kNoCell on top)
  std::vector<std::uint32_t> cellEnd;    ///< per level, the end of its cells' global indices
  std::vector<std::uint32_t> nodes;      ///< the nodes, level-1 cell after cell
  std::vector<std::uint32_t> cellNodes;  ///< per level-1 cell, its first place in nodes (+ end)
};

/// Cuts the nodes of g into cells of at most levelNodes[l] nodes on level l
/// + 1 (ascending sizes); cells are numbered level by level, level 1 first,
/// each level's cells in the order of the cut, so that the cells inside one
/// cell have consecutive numbers. With nThreads of 2 or more a network of
/// nParallelNodes nodes or more is cut on two threads, into the same cells.
/// Throws std::bad_alloc.
CellPartition PartitionNodes(const StateGraph& g, const std::vector<std::uint32_t>& levelNodes,
                             unsigned nThreads = 1, std::size_t nParallelNodes = 200000);

}  // namespace vxnet

#endif
