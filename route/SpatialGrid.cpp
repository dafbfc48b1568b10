// Uniform grid over the usable features' segments.
#include "route/SpatialGrid.h"

#include <limits>

namespace vxroute {

namespace {

constexpr double kMaxCellsPerSide = 2048.0;

}  // namespace

SpatialGrid::SpatialGrid(const RouteGraph& graph) {
  double dMinX = std::numeric_limits<double>::max(), dMinY = dMinX;
  double dMaxX = std::numeric_limits<double>::lowest(), dMaxY = dMaxX;
  std::size_t nSegs = 0;
  for (std::uint32_t f = 0; f < graph.FeatureCount(); ++f) {
    if (!graph.IsUsable(f)) {
      continue;
    }
    const Bin_LonLat* p = graph.Points(f);
    for (std::uint32_t i = 0; i < graph.PointCount(f); ++i) {
      dMinX = std::min(dMinX, static_cast<double>(p[i].lon));
      dMaxX = std::max(dMaxX, static_cast<double>(p[i].lon));
      dMinY = std::min(dMinY, static_cast<double>(p[i].lat));
      dMaxY = std::max(dMaxY, static_cast<double>(p[i].lat));
    }
    nSegs += graph.PointCount(f) - 1;
  }
  if (nSegs == 0) {
    return;
  }
  const double dWidth = dMaxX - dMinX + 1.0;
  const double dHeight = dMaxY - dMinY + 1.0;
  const double dCells = std::max(1.0, static_cast<double>(nSegs) / 2.0);
  m_dCell = std::max({1.0, std::sqrt(dWidth * dHeight / dCells), dWidth / kMaxCellsPerSide,
                      dHeight / kMaxCellsPerSide});
  m_dMinX = dMinX;
  m_dMinY = dMinY;
  m_nCols = static_cast<long>(std::ceil(dWidth / m_dCell));
  m_nRows = static_cast<long>(std::ceil(dHeight / m_dCell));

  // Two passes: count the segments per cell, then place them.
  const std::size_t nCells = static_cast<std::size_t>(m_nCols) * static_cast<std::size_t>(m_nRows);
  m_nCellStart.assign(nCells + 1, 0);
  auto forEachCell = [&](const Bin_LonLat& a, const Bin_LonLat& b, auto&& fn) {
    const long i0 = ClampCell((std::min(a.lon, b.lon) - m_dMinX) / m_dCell, m_nCols);
    const long i1 = ClampCell((std::max(a.lon, b.lon) - m_dMinX) / m_dCell, m_nCols);
    const long j0 = ClampCell((std::min(a.lat, b.lat) - m_dMinY) / m_dCell, m_nRows);
    const long j1 = ClampCell((std::max(a.lat, b.lat) - m_dMinY) / m_dCell, m_nRows);
    for (long j = j0; j <= j1; ++j) {
      for (long i = i0; i <= i1; ++i) {
        fn(static_cast<std::size_t>(j) * m_nCols + i);
      }
    }
  };
  for (int nPass = 0; nPass < 2; ++nPass) {
    std::vector<std::uint32_t> nFill;
    if (nPass == 1) {
      for (std::size_t c = 0; c < nCells; ++c) {
        m_nCellStart[c + 1] += m_nCellStart[c];
      }
      m_segments.resize(m_nCellStart[nCells]);
      nFill.assign(m_nCellStart.begin(), m_nCellStart.end() - 1);
    }
    for (std::uint32_t f = 0; f < graph.FeatureCount(); ++f) {
      if (!graph.IsUsable(f)) {
        continue;
      }
      const Bin_LonLat* p = graph.Points(f);
      for (std::uint32_t k = 0; k + 1 < graph.PointCount(f); ++k) {
        forEachCell(p[k], p[k + 1], [&](std::size_t c) {
          if (nPass == 0) {
            ++m_nCellStart[c + 1];
          } else {
            m_segments[nFill[c]++] = {f, k};
          }
        });
      }
    }
  }
}

std::size_t SpatialGrid::MemoryBytes() const {
  return m_nCellStart.capacity() * sizeof(std::uint32_t) +
         m_segments.capacity() * sizeof(GridSegment);
}

}  // namespace vxroute
