// Uniform grid over the usable features' segments.
#include "route/SpatialGrid.h"

#include <limits>
#include <stdexcept>
#include <utility>

namespace vxroute {

namespace {

constexpr double kMaxCellsPerSide = 2048.0;
constexpr double kHair = 1e-9;  // cell units

}  // namespace

SpatialGrid::SpatialGrid(const RouteGraph& graph) {
  double dMinX = std::numeric_limits<double>::max(), dMinY = dMinX;
  double dMaxX = std::numeric_limits<double>::lowest(), dMaxY = dMaxX;
  double dSpan = 0.0;  // sum over the segments of |dx| + |dy|, map units
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
      if (i > 0) {
        dSpan += std::fabs(static_cast<double>(p[i].lon) - p[i - 1].lon) +
                 std::fabs(static_cast<double>(p[i].lat) - p[i - 1].lat);
      }
    }
    nSegs += graph.PointCount(f) - 1;
  }
  if (nSegs == 0) {
    return;
  }
  // A segment is filed in at most 2 |du| + |dv| + 4 cells (du, dv: its
  // extent in cell units), so all segments fill at most
  // 2 * dSpan / cell + 4 * nSegs cells; the last bound on the cell size below
  // keeps that within 12 * nSegs however long the segments are.
  if (nSegs > std::numeric_limits<std::uint32_t>::max() / 16) {
    throw std::length_error("too many segments for the route index");
  }
  const double dWidth = dMaxX - dMinX + 1.0;
  const double dHeight = dMaxY - dMinY + 1.0;
  const double dCells = std::max(1.0, static_cast<double>(nSegs) / 2.0);
  m_dCell = std::max({1.0, std::sqrt(dWidth * dHeight / dCells), dWidth / kMaxCellsPerSide,
                      dHeight / kMaxCellsPerSide, dSpan / (4.0 * static_cast<double>(nSegs))});
  m_dMinX = dMinX;
  m_dMinY = dMinY;
  m_nCols = static_cast<long>(std::ceil(dWidth / m_dCell));
  m_nRows = static_cast<long>(std::ceil(dHeight / m_dCell));

  // Two passes: count the segments per cell, then place them.
  const std::size_t nCells = static_cast<std::size_t>(m_nCols) * static_cast<std::size_t>(m_nRows);
  m_nCellStart.assign(nCells + 1, 0);
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
        ForEachCellOf(p[k], p[k + 1], [&](std::size_t c) {
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

template <class Fn>
void SpatialGrid::ForEachCellOf(const Bin_LonLat& a, const Bin_LonLat& b, Fn&& fn) const {
  // The segment in cell units, from left to right.
  double u0 = (a.lon - m_dMinX) / m_dCell, v0 = (a.lat - m_dMinY) / m_dCell;
  double u1 = (b.lon - m_dMinX) / m_dCell, v1 = (b.lat - m_dMinY) / m_dCell;
  if (u1 < u0) {
    std::swap(u0, u1);
    std::swap(v0, v1);
  }
  const long i0 = ClampCell(u0, m_nCols);
  const long i1 = ClampCell(u1, m_nCols);
  const double dSlope = u1 > u0 ? (v1 - v0) / (u1 - u0) : 0.0;
  for (long i = i0; i <= i1; ++i) {
    // The part of the segment over column i, and the rows it crosses there,
    // widened by a hair so that a point on a row boundary files both rows.
    const double uL = std::max(u0, static_cast<double>(i));
    const double uR = std::min(u1, static_cast<double>(i + 1));
    const double vL = i0 == i1 ? v0 : v0 + (uL - u0) * dSlope;
    const double vR = i0 == i1 ? v1 : v0 + (uR - u0) * dSlope;
    const long j0 = ClampCell(std::min(vL, vR) - kHair, m_nRows);
    const long j1 = ClampCell(std::max(vL, vR) + kHair, m_nRows);
    for (long j = j0; j <= j1; ++j) {
      fn(static_cast<std::size_t>(j) * static_cast<std::size_t>(m_nCols) +
         static_cast<std::size_t>(i));
    }
  }
}

std::size_t SpatialGrid::MemoryBytes() const {
  return m_nCellStart.capacity() * sizeof(std::uint32_t) +
         m_segments.capacity() * sizeof(GridSegment);
}

}  // namespace vxroute
