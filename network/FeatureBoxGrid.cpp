// The multi-level grid of feature boxes.
#include "network/FeatureBoxGrid.h"

#include <algorithm>
#include <cmath>

#include "network/CountingTable.h"

namespace vxnet {
namespace {

constexpr std::int64_t kLevelScale = 8;
// Bounds that keep the cell arithmetic of a level read from a file exact.
constexpr std::int64_t kMaxOrigin = std::int64_t{1} << 32;
constexpr std::int64_t kMaxCellSide = std::int64_t{1} << 34;
constexpr std::int64_t kMaxCellCount = std::int64_t{1} << 32;

struct CellRange {
  std::int64_t nX0, nY0, nX1, nY1;
  std::uint64_t Count() const {
    return static_cast<std::uint64_t>((nX1 - nX0 + 1) * (nY1 - nY0 + 1));
  }
};

CellRange CellsOf(const GridLevel& g, const BinBox& box) {
  const auto clampX = [&](std::int64_t v) {
    return std::clamp<std::int64_t>((v - g.nOriginLon) / g.nCellLon, 0, g.nCols - 1);
  };
  const auto clampY = [&](std::int64_t v) {
    return std::clamp<std::int64_t>((v - g.nOriginLat) / g.nCellLat, 0, g.nRows - 1);
  };
  // Coordinates below the origin divide toward zero to 0, which the clamp keeps.
  return {clampX(box.nMinLon), clampY(box.nMinLat), clampX(box.nMaxLon), clampY(box.nMaxLat)};
}

GridLevel LevelOver(const BinBox& all, std::int64_t nCellLon, std::int64_t nCellLat,
                    std::uint64_t nFirstCell) {
  const std::int64_t nWidth = std::int64_t{all.nMaxLon} - all.nMinLon + 1;
  const std::int64_t nHeight = std::int64_t{all.nMaxLat} - all.nMinLat + 1;
  return {all.nMinLon,
          all.nMinLat,
          nCellLon,
          nCellLat,
          std::max<std::int64_t>(1, (nWidth + nCellLon - 1) / nCellLon),
          std::max<std::int64_t>(1, (nHeight + nCellLat - 1) / nCellLat),
          nFirstCell};
}

// The boxes of a network's features and the box around them all.
struct FeatureBoxes {
  std::vector<BinBox> boxes;        ///< per feature; set where valid
  std::vector<std::uint8_t> valid;  ///< 1 for a feature whose points are in range
  BinBox all{0, 0, 0, 0};
  bool bAny = false;  ///< some feature is valid
};

// The boxes of the features of net.
FeatureBoxes BoxesOf(const NetworkView& net) {
  FeatureBoxes fb;
  fb.boxes.resize(net.features.size());
  fb.valid.assign(net.features.size(), 0);
  for (std::size_t k = 0; k < net.features.size(); ++k) {
    const std::span<const Bin_LonLat> pts = net.PointsOf(net.features[k]);
    if (pts.empty()) continue;
    fb.boxes[k] = BoxOf(pts);
    const BinBox& b = fb.boxes[k];
    fb.valid[k] = 1;
    if (!fb.bAny) fb.all = b;
    fb.bAny = true;
    fb.all = {std::min(fb.all.nMinLon, b.nMinLon), std::min(fb.all.nMinLat, b.nMinLat),
              std::max(fb.all.nMaxLon, b.nMaxLon), std::max(fb.all.nMaxLat, b.nMaxLat)};
  }
  return fb;
}

// Appends to levels the grid levels over the box all of nFeatures features;
// returns the number of cells of them all.
std::uint64_t AddLevels(const BinBox& all, std::size_t nFeatures, std::vector<GridLevel>& levels) {
  // Level 0: about one cell per feature, cells as square as the extent allows,
  // and the cell count near the feature count even for a long thin extent.
  const std::int64_t nWidth = std::int64_t{all.nMaxLon} - all.nMinLon + 1;
  const std::int64_t nHeight = std::int64_t{all.nMaxLat} - all.nMinLat + 1;
  const double dCells = static_cast<double>(nFeatures);
  const double dSide =
      std::sqrt(static_cast<double>(nWidth) * static_cast<double>(nHeight) / dCells);
  const std::int64_t nSide =
      std::max<std::int64_t>(1, static_cast<std::int64_t>(std::ceil(std::min(dSide, 1e9))));
  GridLevel g = LevelOver(all, nSide, nSide, 0);
  while (g.nCols * g.nRows > 4 * static_cast<std::int64_t>(nFeatures) + 16) {
    g = g.nCols >= g.nRows ? LevelOver(all, g.nCellLon * 2, g.nCellLat, 0)
                           : LevelOver(all, g.nCellLon, g.nCellLat * 2, 0);
  }
  levels.push_back(g);
  std::uint64_t nCells = static_cast<std::uint64_t>(g.nCols * g.nRows);
  while (levels.size() < kMaxGridLevels && g.nCols * g.nRows > 1) {
    g = LevelOver(all, g.nCellLon * kLevelScale, g.nCellLat * kLevelScale, nCells);
    levels.push_back(g);
    nCells += static_cast<std::uint64_t>(g.nCols * g.nRows);
  }
  return nCells;
}

// Appends to out the features listed in cell (x, y) of level lv, one of the
// cells q that rect covers, whose boxes meet rect.
void SearchCell(const NetworkView& net, const GridLevel& lv, const BinBox& rect, const CellRange& q,
                std::int64_t x, std::int64_t y, std::vector<std::uint32_t>& out) {
  const std::size_t nCell = lv.nFirstCell + static_cast<std::uint64_t>(y * lv.nCols + x);
  for (const std::uint32_t k : TableRange(net.grid.cellStart, net.grid.items, nCell)) {
    if (k >= net.features.size()) continue;
    const std::span<const Bin_LonLat> pts = net.PointsOf(net.features[k]);
    if (pts.empty()) continue;
    const BinBox box = BoxOf(pts);
    if (!box.Meets(rect)) continue;
    // Report a feature only from the first cell that both boxes share.
    const CellRange f = CellsOf(lv, box);
    if (x == std::max(f.nX0, q.nX0) && y == std::max(f.nY0, q.nY0)) out.push_back(k);
  }
}

// The level a feature of box b is filed at.
std::size_t LevelFor(const std::vector<GridLevel>& levels, const BinBox& b) {
  for (std::size_t l = 0; l + 1 < levels.size(); ++l) {
    if (CellsOf(levels[l], b).Count() <= kMaxCellsPerFeature) return l;
  }
  return levels.size() - 1;
}

}  // namespace

BinBox BoxOf(std::span<const Bin_LonLat> pts) {
  BinBox box{pts[0].lon, pts[0].lat, pts[0].lon, pts[0].lat};
  for (const Bin_LonLat& p : pts.subspan(1)) {
    box.nMinLon = std::min(box.nMinLon, p.lon);
    box.nMaxLon = std::max(box.nMaxLon, p.lon);
    box.nMinLat = std::min(box.nMinLat, p.lat);
    box.nMaxLat = std::max(box.nMaxLat, p.lat);
  }
  return box;
}

bool GridLevelSane(const GridLevel& g, std::uint64_t nCells) {
  const auto within = [](std::int64_t v, std::int64_t lo, std::int64_t hi) {
    return v >= lo && v <= hi;
  };
  if (!within(g.nOriginLon, -kMaxOrigin, kMaxOrigin) ||
      !within(g.nOriginLat, -kMaxOrigin, kMaxOrigin) || !within(g.nCellLon, 1, kMaxCellSide) ||
      !within(g.nCellLat, 1, kMaxCellSide) || !within(g.nCols, 1, kMaxCellCount) ||
      !within(g.nRows, 1, kMaxCellCount))
    return false;
  const std::uint64_t nLevelCells =
      static_cast<std::uint64_t>(g.nCols) * static_cast<std::uint64_t>(g.nRows);
  return g.nFirstCell <= nCells && nLevelCells <= nCells - g.nFirstCell;
}

GridData BuildFeatureGrid(const NetworkView& net) {
  GridData grid;
  const FeatureBoxes fb = BoxesOf(net);
  if (!fb.bAny) {
    // One empty cell, so that every grid has a level to search.
    grid.levels.push_back({0, 0, 1, 1, 1, 1, 0});
    grid.cellStart.assign(2, 0);
    return grid;
  }
  const std::uint64_t nCells = AddLevels(fb.all, fb.boxes.size(), grid.levels);
  std::vector<std::uint8_t> level(fb.boxes.size(), 0);
  for (std::size_t k = 0; k < fb.boxes.size(); ++k) {
    if (fb.valid[k]) level[k] = static_cast<std::uint8_t>(LevelFor(grid.levels, fb.boxes[k]));
  }
  BuildCountingTable(
      nCells,
      [&](auto&& emit) {
        for (std::size_t k = 0; k < fb.boxes.size(); ++k) {
          if (!fb.valid[k]) continue;
          const GridLevel& lv = grid.levels[level[k]];
          const CellRange c = CellsOf(lv, fb.boxes[k]);
          for (std::int64_t y = c.nY0; y <= c.nY1; ++y)
            for (std::int64_t x = c.nX0; x <= c.nX1; ++x)
              emit(lv.nFirstCell + static_cast<std::uint64_t>(y * lv.nCols + x),
                   static_cast<std::uint32_t>(k));
        }
      },
      grid.cellStart, grid.items);
  return grid;
}

void SearchFeatureGrid(const NetworkView& net, const BinBox& rect,
                       std::vector<std::uint32_t>& out) {
  for (const GridLevel& lv : net.grid.levels) {
    const CellRange q = CellsOf(lv, rect);
    for (std::int64_t y = q.nY0; y <= q.nY1; ++y) {
      for (std::int64_t x = q.nX0; x <= q.nX1; ++x) SearchCell(net, lv, rect, q, x, y, out);
    }
  }
}

}  // namespace vxnet
