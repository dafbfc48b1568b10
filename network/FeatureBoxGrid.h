// The feature-box grid: uniform grids over the features' bounding boxes, so
// that a rectangle search (the reader's, and the route engine's snapping)
// visits only the cells the rectangle covers. Level 0 has about one cell per
// feature; each further level has cells eight times wider and taller. A
// feature is listed, at the lowest level where its box meets at most
// kMaxCellsPerFeature cells, in every cell its box meets there.
#ifndef VX_NETWORK_FEATUREBOXGRID_H
#define VX_NETWORK_FEATUREBOXGRID_H

#include <cstdint>
#include <span>
#include <vector>

#include "network/RoadNetwork.h"

namespace vxnet {

inline constexpr std::uint64_t kMaxCellsPerFeature = 64;
inline constexpr std::size_t kMaxGridLevels = 8;

/// Bounding box of a feature's points (at least one).
BinBox BoxOf(std::span<const Bin_LonLat> pts);

/// Builds the grid over the features of net whose points are in range (the
/// others are left out). Throws std::length_error beyond 32-bit offsets.
GridData BuildFeatureGrid(const NetworkView& net);

/// Appends to out the index of every feature of net.grid whose box meets
/// rect, each once, in no particular order. Items that name no feature or
/// whose points are out of range are passed over.
void SearchFeatureGrid(const NetworkView& net, const BinBox& rect, std::vector<std::uint32_t>& out);

/// True when grid level g read from a file is usable: positive cell sizes and
/// counts, coordinates and products that cannot overflow, and its cells
/// inside nCells. Levels built by BuildFeatureGrid always are.
bool GridLevelSane(const GridLevel& g, std::uint64_t nCells);

}  // namespace vxnet

#endif
