// The road network held in vectors: names, its view and its size.
#include "network/RoadNetwork.h"

#include <algorithm>

namespace vxnet {

std::uint32_t NameTable::Add(std::string_view sName) {
  offsets.push_back(static_cast<std::uint32_t>(bytes.size()));
  bytes.insert(bytes.end(), sName.begin(), sName.end());
  bytes.push_back('\0');
  return static_cast<std::uint32_t>(offsets.size() - 1);
}

std::span<const ViaRestriction> NetworkView::ViaRestrictionsFrom(std::uint32_t h) const {
  const auto [first, last] = std::equal_range(
      viaRestrictions.begin(), viaRestrictions.end(), ViaRestriction{h, 0, 0, 0, 0, 0},
      [](const ViaRestriction& a, const ViaRestriction& b) { return a.nFrom < b.nFrom; });
  return {first, last};
}

NetworkView RoadNetwork::View() const {
  NetworkView v;
  v.points = points;
  v.features = features;
  v.nodes = nodes;
  v.nameOffsets = names.offsets;
  v.nameBytes = names.bytes;
  v.forbidden = forbidden;
  v.viaRestrictions = viaRestrictions;
  v.viaHalfEdges = viaHalfEdges;
  v.wayIds = wayIds;
  v.grid = {grid.levels, grid.cellStart, grid.items};
  v.graph = graph.View();
  v.overlay = overlay.View();
  return v;
}

std::size_t RoadNetwork::Bytes() const {
  const auto bytes = [](const auto& v) { return v.capacity() * sizeof(v[0]); };
  return sizeof(*this) + bytes(points) + bytes(features) + bytes(nodes) + bytes(names.offsets) +
         bytes(names.bytes) + bytes(forbidden) + bytes(viaRestrictions) + bytes(viaHalfEdges) +
         bytes(wayIds) + bytes(grid.levels) + bytes(grid.cellStart) + bytes(grid.items) +
         graph.Bytes() + overlay.Bytes();
}

GraphView GraphData::View() const {
  return {lengths, bearings, flags, leavingStart, leaving, copies, steps, info};
}

std::size_t GraphData::Bytes() const {
  const auto bytes = [](const auto& v) { return v.capacity() * sizeof(v[0]); };
  return bytes(lengths) + bytes(bearings) + bytes(flags) + bytes(leavingStart) + bytes(leaving) +
         bytes(copies) + bytes(steps);
}

}  // namespace vxnet
