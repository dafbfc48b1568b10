// A uniform grid over the segments of the usable features, for finding the
// segments nearest to a point without scanning the whole network.
#ifndef VX_ROUTE_SPATIALGRID_H
#define VX_ROUTE_SPATIALGRID_H

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "route/RouteGraph.h"

namespace vxroute {

/// One segment: point nSeg to point nSeg + 1 of feature nFeature.
struct GridSegment {
  std::uint32_t nFeature;
  std::uint32_t nSeg;
};

class SpatialGrid {
 public:
  /// Files every segment of the usable features of graph into the cells it
  /// passes through. About two segments per cell on average; cells are made
  /// larger where long segments would otherwise fill more than about twelve
  /// cells per segment, so the index stays linear in the segment count.
  /// Throws std::length_error for more segments than its 32-bit offsets hold.
  explicit SpatialGrid(const RouteGraph& graph);

  /// Calls visit(segment) for the segments of the cells around (dX, dY) (map
  /// units), cell ring by cell ring outwards, skipping cells that lie farther
  /// than limit() metres; stops once a whole ring lies beyond limit().
  /// dLonMetres and dLatMetres are the metres per map unit near the point.
  /// A segment in several cells is visited once per cell.
  template <class Visit, class Limit>
  void Search(double dX, double dY, double dLonMetres, double dLatMetres, Visit visit,
              Limit limit) const {
    if (m_nCols == 0) {
      return;
    }
    const long cx = ClampCell((dX - m_dMinX) / m_dCell, m_nCols);
    const long cy = ClampCell((dY - m_dMinY) / m_dCell, m_nRows);
    const long nMaxRing = std::max(m_nCols, m_nRows);
    for (long r = 0; r <= nMaxRing; ++r) {
      bool bAnyNear = false;
      for (long j = cy - r; j <= cy + r; ++j) {
        if (j < 0 || j >= m_nRows) {
          continue;
        }
        const bool bEdgeRow = j == cy - r || j == cy + r;
        for (long i = cx - r; i <= cx + r; i += bEdgeRow ? 1 : 2 * r) {
          if (i >= 0 && i < m_nCols &&
              CellMetres(i, j, dX, dY, dLonMetres, dLatMetres) <= limit()) {
            bAnyNear = true;
            const std::size_t c = static_cast<std::size_t>(j) * m_nCols + i;
            for (std::uint32_t k = m_nCellStart[c]; k < m_nCellStart[c + 1]; ++k) {
              visit(m_segments[k]);
            }
          }
          if (r == 0) {
            break;
          }
        }
      }
      if (!bAnyNear) {
        return;
      }
    }
  }

  std::size_t MemoryBytes() const;

 private:
  /// Calls fn(cell index) for the cells segment a-b passes through.
  template <class Fn>
  void ForEachCellOf(const Bin_LonLat& a, const Bin_LonLat& b, Fn&& fn) const;
  static long ClampCell(double d, long nCount) {
    if (!(d > 0)) {
      return 0;
    }
    return d >= static_cast<double>(nCount - 1) ? nCount - 1 : static_cast<long>(d);
  }
  double CellMetres(long i, long j, double dX, double dY, double dLonMetres,
                    double dLatMetres) const {
    const double x0 = m_dMinX + static_cast<double>(i) * m_dCell;
    const double y0 = m_dMinY + static_cast<double>(j) * m_dCell;
    const double dx = std::max({0.0, x0 - dX, dX - (x0 + m_dCell)}) * dLonMetres;
    const double dy = std::max({0.0, y0 - dY, dY - (y0 + m_dCell)}) * dLatMetres;
    return std::sqrt(dx * dx + dy * dy);
  }

  double m_dMinX = 0, m_dMinY = 0;  // lower left corner, map units
  double m_dCell = 1;               // cell side, map units
  long m_nCols = 0, m_nRows = 0;
  std::vector<std::uint32_t> m_nCellStart;  // cell -> offset in m_segments
  std::vector<GridSegment> m_segments;
};

}  // namespace vxroute

#endif
