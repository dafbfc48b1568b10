// The state behind a VRO_READER handle: the network, its spatial index, the
// search limits, the current search and the selected feature's attributes.
#ifndef VX_MAP_READERSTATE_H
#define VX_MAP_READERSTATE_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "interfaces/VroTexts.h"
#include "map/RoadNetwork.h"
#include "map/SpatialGrid.h"

/// One attribute of a feature as VroReaderNextAttr hands it out.
struct ReaderAttr {
  char szCode[vro::kCodeSize];  ///< name and end mark, e.g. "LVL+"
  std::string sName;            ///< "LVL", "EID" or "TRN"
  std::string sValue;           ///< at most vro::kNameSize - 1 bytes
};

struct VRO_READER {
  vxmap::RoadNetwork net;
  std::vector<vxmap::BinBox> boxes;  ///< per feature
  vxmap::SpatialGrid grid;

  // Limits, applied by VroReaderReset.
  char cPriLow = '1';
  char cPriHigh = '7';
  bool bClassAllowed[8] = {false, true, true, true, true, true, true, true};  ///< by class 1..7
  bool bHasRect = false;
  vxmap::BinBox rect{0, 0, 0, 0};

  // The current search.
  bool bSearched = false;
  std::vector<std::uint32_t> found;
  std::size_t nNextFound = 0;
  std::vector<Bin_LonLat> points;  ///< copy of the last feature's points

  // The selected feature's attributes.
  std::vector<ReaderAttr> attrs;
  std::size_t nNextAttr = 0;
};

namespace vxmap {

/// Bytes held by a reader: the network, the boxes and the grid.
std::size_t ReaderBytes(const VRO_READER& r);

/// Writes the code and two texts of feature k, as seen in the direction of
/// travel when bReversed (the one-way mark mirrored). Null buffers are skipped.
void WriteFeatureTexts(const RoadNetwork& net, std::uint32_t k, bool bReversed, char* szCode,
                       char* szStr1, char* szStr2);

/// Fills attrs with the attributes of feature k, as seen in the direction of
/// travel when bReversed (ends swapped, end marks mirrored).
void BuildAttributes(const RoadNetwork& net, std::uint32_t k, bool bReversed,
                     std::vector<ReaderAttr>& attrs);

}  // namespace vxmap

#endif
