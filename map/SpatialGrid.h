// A uniform grid over the features' bounding boxes, so that a rectangle
// search visits only the cells the rectangle covers.
#ifndef VX_MAP_SPATIALGRID_H
#define VX_MAP_SPATIALGRID_H

#include <cstdint>
#include <vector>

#include "map/RoadNetwork.h"

namespace vxmap {

/// An axis-parallel box in Bin_LonLat units, bounds included.
struct BinBox {
  std::int32_t nMinLon, nMinLat, nMaxLon, nMaxLat;
  bool Meets(const BinBox& o) const {
    return nMinLon <= o.nMaxLon && o.nMinLon <= nMaxLon && nMinLat <= o.nMaxLat &&
           o.nMinLat <= nMaxLat;
  }
};

/// Bounding box of feature f of the network.
BinBox BoxOf(const RoadNetwork& net, const Feature& f);

/// Grid of about one cell per feature. A feature is listed in every cell its
/// box meets; a feature whose box covers more than kMaxCellsPerFeature cells
/// is kept in a short separate list that every search checks.
class SpatialGrid {
 public:
  static constexpr std::uint64_t kMaxCellsPerFeature = 64;

  /// Builds the grid over the given boxes (index = feature index).
  void Build(const std::vector<BinBox>& boxes);

  /// Appends to out the index of every feature whose box meets rect, each
  /// once, in no particular order.
  void Search(const BinBox& rect, std::vector<std::uint32_t>& out) const;

  /// Bytes held by the grid.
  std::size_t Bytes() const;

 private:
  struct CellRange {
    std::int64_t nX0, nY0, nX1, nY1;
  };
  CellRange CellsOf(const BinBox& box) const;

  const std::vector<BinBox>* m_pBoxes = nullptr;
  std::int64_t m_nOriginLon = 0, m_nOriginLat = 0;
  std::int64_t m_nCellLon = 1, m_nCellLat = 1;
  std::int64_t m_nCols = 0, m_nRows = 0;
  std::vector<std::uint32_t> m_cellStart;  ///< m_nCols * m_nRows + 1 offsets into m_cellItems
  std::vector<std::uint32_t> m_cellItems;
  std::vector<std::uint32_t> m_large;  ///< features covering many cells
};

}  // namespace vxmap

#endif
