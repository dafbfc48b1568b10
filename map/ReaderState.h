// The state behind a VRO_READER handle: the network (imported into vectors or
// a mapped compiled file) and its view, the search limits, the current search
// and the selected feature's attributes.
#ifndef VX_MAP_READERSTATE_H
#define VX_MAP_READERSTATE_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "interfaces/VroTexts.h"
#include "network/MapFile.h"
#include "network/RoadNetwork.h"

/// One attribute of a feature as VroReaderNextAttr hands it out.
struct ReaderAttr {
  char szCode[vro::kCodeSize];  ///< name and end mark, e.g. "LVL+"
  std::string sName;            ///< "LVL", "EID" or "TRN"
  std::string sValue;           ///< at most vro::kNameSize - 1 bytes
};

struct VRO_READER {
  std::unique_ptr<vxnet::RoadNetwork> pImported;  ///< an OpenStreetMap file's network
  std::unique_ptr<vxnet::MappedMap> pMapped;      ///< or a compiled map
  vxnet::NetworkView net;                         ///< the view of either

  // Limits, applied by VroReaderReset.
  char cPriLow = '1';
  char cPriHigh = '7';
  bool bClassAllowed[8] = {false, true, true, true, true, true, true, true};  ///< by class 1..7
  bool bHasRect = false;
  vxnet::BinBox rect{0, 0, 0, 0};

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

/// Bytes a reader holds in memory of its own: an imported network's vectors
/// and the reader's state (a compiled map's mapping is not counted).
std::size_t ReaderBytes(const VRO_READER& r);

/// Writes the code and two texts of feature k (an index below the feature
/// count), as seen in the direction of travel when bReversed (the one-way
/// mark mirrored). Null buffers are skipped.
void WriteFeatureTexts(const vxnet::NetworkView& net, std::uint32_t k, bool bReversed, char* szCode,
                       char* szStr1, char* szStr2);

/// Fills attrs with the attributes of feature k (an index below the feature
/// count), as seen in the direction of travel when bReversed (ends swapped,
/// end marks mirrored).
void BuildAttributes(const vxnet::NetworkView& net, std::uint32_t k, bool bReversed,
                     std::vector<ReaderAttr>& attrs);

}  // namespace vxmap

#endif
