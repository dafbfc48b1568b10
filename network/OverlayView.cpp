// The overlay view's checked access and the overlay's vectors.
#include "network/OverlayView.h"

#include <algorithm>

namespace vxnet {

std::uint32_t OverlayView::CellOf(std::uint32_t nNode, std::uint32_t nLevel) const {
  if (nLevel == 0 || nLevel > info.nLevels || nNode >= nodeCells.size()) return kNoCell;
  std::uint32_t c = nodeCells[nNode];
  for (std::uint32_t l = 1; l < nLevel && c < parents.size(); ++l) c = parents[c];
  const std::uint32_t nFirst = nLevel >= 2 ? info.nCellEnd[nLevel - 2] : 0;
  return c >= nFirst && c < info.nCellEnd[nLevel - 1] && c < cells.size() ? c : kNoCell;
}

std::uint32_t OverlayView::CutLevel(std::uint32_t v) const {
  std::uint32_t l = 0;
  while (l < info.nLevels && v < info.nVertexEnd[l]) ++l;
  return l;
}

std::uint32_t OverlayView::VertexOf(State s) const {
  const auto stateOf = [&](std::uint32_t v) {
    return v < vertexState.size() ? vertexState[v] : 0xFFFFFFFFu;
  };
  const auto it = std::lower_bound(byState.begin(), byState.end(), s,
                                   [&](std::uint32_t v, State x) { return stateOf(v) < x; });
  return it != byState.end() && stateOf(*it) == s ? *it : kNoCell;
}

std::uint32_t OverlayView::EntryRow(std::uint32_t c, std::uint32_t v) const {
  if (c >= cells.size()) return kNoCell;
  const OverlayCell& cell = cells[c];
  if (cell.nFirstEntry > entries.size() || cell.nEntryCount > entries.size() - cell.nFirstEntry)
    return kNoCell;
  const std::span<const std::uint32_t> e = entries.subspan(cell.nFirstEntry, cell.nEntryCount);
  const auto it = std::lower_bound(e.begin(), e.end(), v);
  return it != e.end() && *it == v ? static_cast<std::uint32_t>(it - e.begin()) : kNoCell;
}

std::span<const std::uint32_t> OverlayView::ExitsOf(std::uint32_t c) const {
  if (c >= cells.size()) return {};
  const OverlayCell& cell = cells[c];
  if (cell.nFirstExit > exits.size() || cell.nExitCount > exits.size() - cell.nFirstExit) return {};
  return exits.subspan(cell.nFirstExit, cell.nExitCount);
}

std::span<const float> OverlayView::Row(std::uint32_t c, std::uint32_t r, Metric m) const {
  const std::span<const float> w = weights[static_cast<int>(m)];
  if (c >= cells.size()) return {};
  const OverlayCell& cell = cells[c];
  if (r >= cell.nEntryCount || cell.nFirstWeight > w.size()) return {};
  const std::uint64_t nRoom = w.size() - cell.nFirstWeight;
  const std::uint64_t nAt = std::uint64_t{r} * cell.nExitCount;
  if (nAt > nRoom || cell.nExitCount > nRoom - nAt) return {};
  return w.subspan(cell.nFirstWeight + nAt, cell.nExitCount);
}

OverlayView OverlayData::View() const {
  OverlayView v;
  v.info = info;
  v.cells = cells;
  v.parents = parents;
  v.nodeCells = nodeCells;
  v.vertexState = vertexState;
  v.byState = byState;
  v.vertexPoints = vertexPoints;
  v.entries = entries;
  v.exits = exits;
  for (int m = 0; m < kMetricCount; ++m) v.weights[m] = weights[m];
  v.reach = reach;
  return v;
}

std::size_t OverlayData::Bytes() const {
  const auto bytes = [](const auto& v) { return v.capacity() * sizeof(v[0]); };
  std::size_t n = bytes(cells) + bytes(parents) + bytes(nodeCells) + bytes(vertexState) +
                  bytes(byState) + bytes(vertexPoints) + bytes(entries) + bytes(exits) +
                  bytes(reach);
  for (const std::vector<float>& w : weights) n += bytes(w);
  return n;
}

}  // namespace vxnet
