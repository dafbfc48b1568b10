// The uniform grid of feature boxes.
#include "map/SpatialGrid.h"

#include <algorithm>
#include <cmath>

namespace vxmap {

BinBox BoxOf(const RoadNetwork& net, const Feature& f) {
  const Bin_LonLat* p = net.points.data() + f.nFirstPoint;
  BinBox box{p[0].lon, p[0].lat, p[0].lon, p[0].lat};
  for (std::uint32_t i = 1; i < f.nPointCount; ++i) {
    box.nMinLon = std::min(box.nMinLon, p[i].lon);
    box.nMaxLon = std::max(box.nMaxLon, p[i].lon);
    box.nMinLat = std::min(box.nMinLat, p[i].lat);
    box.nMaxLat = std::max(box.nMaxLat, p[i].lat);
  }
  return box;
}

SpatialGrid::CellRange SpatialGrid::CellsOf(const BinBox& box) const {
  const auto clampX = [&](std::int64_t v) {
    return std::clamp<std::int64_t>((v - m_nOriginLon) / m_nCellLon, 0, m_nCols - 1);
  };
  const auto clampY = [&](std::int64_t v) {
    return std::clamp<std::int64_t>((v - m_nOriginLat) / m_nCellLat, 0, m_nRows - 1);
  };
  // Coordinates below the origin divide toward zero to 0, which the clamp keeps.
  return {clampX(box.nMinLon), clampY(box.nMinLat), clampX(box.nMaxLon), clampY(box.nMaxLat)};
}

void SpatialGrid::Build(const std::vector<BinBox>& boxes) {
  m_pBoxes = &boxes;
  m_cellStart.clear();
  m_cellItems.clear();
  m_large.clear();
  if (boxes.empty()) {
    m_nCols = m_nRows = 0;
    return;
  }
  BinBox all = boxes.front();
  for (const BinBox& b : boxes) {
    all.nMinLon = std::min(all.nMinLon, b.nMinLon);
    all.nMinLat = std::min(all.nMinLat, b.nMinLat);
    all.nMaxLon = std::max(all.nMaxLon, b.nMaxLon);
    all.nMaxLat = std::max(all.nMaxLat, b.nMaxLat);
  }
  const std::int64_t nWidth = std::int64_t{all.nMaxLon} - all.nMinLon + 1;
  const std::int64_t nHeight = std::int64_t{all.nMaxLat} - all.nMinLat + 1;
  // About one cell per feature, cells as square as the extent allows.
  const double dCells = static_cast<double>(boxes.size());
  const double dSide =
      std::sqrt(static_cast<double>(nWidth) * static_cast<double>(nHeight) / dCells);
  m_nCellLon =
      std::max<std::int64_t>(1, static_cast<std::int64_t>(std::ceil(std::min(dSide, 1e9))));
  m_nCellLat = m_nCellLon;
  m_nCols = std::max<std::int64_t>(1, (nWidth + m_nCellLon - 1) / m_nCellLon);
  m_nRows = std::max<std::int64_t>(1, (nHeight + m_nCellLat - 1) / m_nCellLat);
  // Keep the cell count near the feature count even for a long thin extent.
  while (m_nCols * m_nRows > 4 * static_cast<std::int64_t>(boxes.size()) + 16) {
    if (m_nCols >= m_nRows) {
      m_nCellLon *= 2;
      m_nCols = (nWidth + m_nCellLon - 1) / m_nCellLon;
    } else {
      m_nCellLat *= 2;
      m_nRows = (nHeight + m_nCellLat - 1) / m_nCellLat;
    }
  }
  m_nOriginLon = all.nMinLon;
  m_nOriginLat = all.nMinLat;

  const std::size_t nCells = static_cast<std::size_t>(m_nCols * m_nRows);
  m_cellStart.assign(nCells + 1, 0);
  std::vector<bool> large(boxes.size(), false);
  for (std::size_t k = 0; k < boxes.size(); ++k) {
    const CellRange c = CellsOf(boxes[k]);
    if (static_cast<std::uint64_t>((c.nX1 - c.nX0 + 1) * (c.nY1 - c.nY0 + 1)) >
        kMaxCellsPerFeature) {
      large[k] = true;
      m_large.push_back(static_cast<std::uint32_t>(k));
      continue;
    }
    for (std::int64_t y = c.nY0; y <= c.nY1; ++y)
      for (std::int64_t x = c.nX0; x <= c.nX1; ++x) ++m_cellStart[y * m_nCols + x + 1];
  }
  for (std::size_t i = 1; i <= nCells; ++i) m_cellStart[i] += m_cellStart[i - 1];
  m_cellItems.resize(m_cellStart.back());
  std::vector<std::uint32_t> fill(m_cellStart.begin(), m_cellStart.end() - 1);
  for (std::size_t k = 0; k < boxes.size(); ++k) {
    if (large[k]) continue;
    const CellRange c = CellsOf(boxes[k]);
    for (std::int64_t y = c.nY0; y <= c.nY1; ++y)
      for (std::int64_t x = c.nX0; x <= c.nX1; ++x)
        m_cellItems[fill[y * m_nCols + x]++] = static_cast<std::uint32_t>(k);
  }
}

void SpatialGrid::Search(const BinBox& rect, std::vector<std::uint32_t>& out) const {
  if (m_pBoxes == nullptr || m_nCols == 0) return;
  const std::vector<BinBox>& boxes = *m_pBoxes;
  for (std::uint32_t k : m_large) {
    if (boxes[k].Meets(rect)) out.push_back(k);
  }
  const CellRange q = CellsOf(rect);
  for (std::int64_t y = q.nY0; y <= q.nY1; ++y) {
    for (std::int64_t x = q.nX0; x <= q.nX1; ++x) {
      const std::size_t nCell = static_cast<std::size_t>(y * m_nCols + x);
      for (std::uint32_t i = m_cellStart[nCell]; i < m_cellStart[nCell + 1]; ++i) {
        const std::uint32_t k = m_cellItems[i];
        if (!boxes[k].Meets(rect)) continue;
        // Report a feature only from the first cell that both boxes share.
        const CellRange f = CellsOf(boxes[k]);
        if (x == std::max(f.nX0, q.nX0) && y == std::max(f.nY0, q.nY0)) out.push_back(k);
      }
    }
  }
}

std::size_t SpatialGrid::Bytes() const {
  return (m_cellStart.capacity() + m_cellItems.capacity() + m_large.capacity()) *
         sizeof(std::uint32_t);
}

}  // namespace vxmap
