// The importer's last building step: turn restrictions mapped onto the road
// network's features, as forbidden turns at a node and as restrictions over
// via roads (the rules are in OsmImport.h at BuildRoadNetwork).
#ifndef VX_MAP_RESTRICTIONBUILD_H
#define VX_MAP_RESTRICTIONBUILD_H

#include <cstdint>
#include <span>

#include "map/OsmImport.h"

namespace vxmap {

/// The features cut from one way: indices nFirst .. nEnd - 1, in the order
/// of the way's nodes.
struct WayFeatures {
  std::int64_t nWayId;
  std::uint32_t nFirst, nEnd;
  bool operator<(const WayFeatures& o) const { return nWayId < o.nWayId; }
};

/// viaNodes value of a restriction with via ways, or whose via node no
/// feature uses.
inline constexpr std::uint32_t kNoViaNode = UINT32_MAX;

/// Maps raw.restrictions onto net's features (which must be complete, with
/// their nodes numbered): fills net.forbidden and net.viaRestrictions /
/// net.viaHalfEdges, each sorted and each entry once, and counts every
/// restriction's fate in raw.restrictionStats. viaNodes[i] is the network
/// node of restriction i's via node; ways is sorted by way id.
void MapRestrictions(RawOsm& raw, std::span<const std::uint32_t> viaNodes,
                     std::span<const WayFeatures> ways, vxnet::RoadNetwork& net);

}  // namespace vxmap

#endif
