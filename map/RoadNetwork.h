// The road network read from an OpenStreetMap file: features (road stretches
// between junctions), their points, the network nodes at their ends, names
// and forbidden turns. Shared by the map reader and the route engine.
#ifndef VX_MAP_ROADNETWORK_H
#define VX_MAP_ROADNETWORK_H

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "interfaces/VroTypes.h"

namespace vxmap {

/// One drivable road stretch between two network nodes (junctions or dead
/// ends). Its edge number (EID) is its index in RoadNetwork::features + 1.
struct Feature {
  std::uint64_t nWayId;       ///< the OpenStreetMap way it was cut from
  std::uint32_t nFirstPoint;  ///< index of its first point in RoadNetwork::points
  std::uint32_t nPointCount;  ///< number of points, at least 2
  std::uint32_t nFromNode;    ///< network node at its first point
  std::uint32_t nToNode;      ///< network node at its last point
  std::uint32_t nName;        ///< index in RoadNetwork::names; 0 is the empty name
  std::int8_t nOneWay;        ///< +1 first to last only, -1 last to first only, 0 both
  std::uint8_t nRoadClass;    ///< 1 (motorway) .. 7 (residential, service, ...)
  std::uint16_t nMaxSpeed;    ///< km/h; 0 when unknown
  std::int8_t nLevelFirst;    ///< level at the first point (layer, bridge, tunnel)
  std::int8_t nLevelLast;     ///< level at the last point
  bool bRoutable;             ///< false for roads the route engine must not use
  bool bRoundabout;           ///< part of a roundabout (junction=roundabout/circular)
};

/// A turn that may not be made: from feature nFrom through node nVia into
/// feature nTo (feature indices, not edge numbers).
struct ForbiddenTurn {
  std::uint32_t nFrom;
  std::uint32_t nVia;
  std::uint32_t nTo;
};

/// The whole network; built once by the importer, read-only afterwards.
struct RoadNetwork {
  std::vector<Bin_LonLat> points;        ///< the features' points, feature after feature
  std::vector<Feature> features;         ///< in a fixed order for a given file
  std::vector<Bin_LonLat> nodes;         ///< network nodes
  std::vector<std::string> names;        ///< names[0] is ""
  std::vector<ForbiddenTurn> forbidden;  ///< sorted by (nFrom, nVia, nTo)
};

/// The feature identifier of feature index nFeature; bReversed marks a
/// feature driven from its last point to its first. Layout: dw[0] the index,
/// dw[1] 1 when reversed else 0, dw[2] a fixed tag, dw[3] the index mixed with
/// a fixed pattern; never the null id, and the same for the same index of the
/// same file on every load.
VRO_API VRO_FEATURE_ID FeatureIdOf(std::uint32_t nFeature, bool bReversed);

/// Decodes an identifier made by FeatureIdOf; false for any other value
/// (the null id included). Does not check nFeature against a network.
VRO_API bool DecodeFeatureId(const VRO_FEATURE_ID& id, std::uint32_t& nFeature, bool& bReversed);

/// Degrees of a coordinate in Bin_LonLat units, for handing map points out as
/// tagLonLat: the double nearest nUnits / 100000 whose product with 100000.0,
/// truncated toward zero, gives nUnits back (junction description finds map
/// points that way). Plain division misses for about 3 values in 100.
inline double BinToDegrees(std::int32_t nUnits) {
  double d = nUnits / 100000.0;
  for (int i = 0; i < 4 && static_cast<std::int64_t>(d * 100000.0) != nUnits; ++i)
    d = std::nextafter(d, nUnits >= 0 ? HUGE_VAL : -HUGE_VAL);
  return d;
}

/// The network of a reader opened with VroReaderOpen; owned by the reader.
VRO_API const RoadNetwork* NetworkOf(VRO_READER* hReader);

}  // namespace vxmap

#endif
