// The importer: reads an OpenStreetMap file and builds the road network.
// Reading (libosmium) and building (plain C++) are separate steps so that the
// building rules can be exercised on records made in memory.
#ifndef VX_MAP_OSMIMPORT_H
#define VX_MAP_OSMIMPORT_H

#include <cstdint>
#include <string>
#include <vector>

#include "map/RoadNetwork.h"

namespace vxmap {

/// A node of a way: its id and its point rounded once to Bin_LonLat units;
/// bLocated is false when the file holds no valid location for it.
struct RawNodeRef {
  std::int64_t nNodeId;
  Bin_LonLat pt;
  bool bLocated;
};

/// A car-drivable way with its tags already interpreted (see OsmTags.h).
struct RawWay {
  std::int64_t nWayId;
  std::string sName;
  std::int8_t nOneWay;
  std::uint8_t nRoadClass;
  std::uint16_t nMaxSpeed;
  std::int8_t nLevel;
  bool bRoutable;
  bool bRoundabout;
  std::vector<RawNodeRef> refs;
};

/// A turn restriction relation: from way, via node, to way; bOnly for the
/// only_* kinds (every other turn is forbidden), false for the no_* kinds.
struct RawRestriction {
  std::int64_t nFromWay;
  std::int64_t nViaNode;
  std::int64_t nToWay;
  bool bOnly;
};

/// What the importer keeps of a file, in file order.
struct RawOsm {
  std::vector<RawWay> ways;
  std::vector<RawRestriction> restrictions;
};

/// Reads the car-drivable ways and the turn restrictions of an .osm, .osm.pbf
/// or .osm.bz2 file (nodes before ways, as OpenStreetMap files are ordered).
/// False with a message in sError when the file cannot be read or parsed.
bool ReadOsmFile(const char* szFile, RawOsm& raw, std::string& sError);

/// Builds the network from raw ways and restrictions (net is replaced):
/// - a way is cut at every node used more than once by the drivable ways
///   (shared with another way, or visited twice) and at its ends; a node
///   without location also cuts it (the way goes on after the gap);
/// - consecutive equal points are kept once; a stretch left with a single
///   point has no direction and is passed over, and the nodes at its two
///   ends become one network node, so the roads it joined stay joined;
/// - features follow the file's way order, then the node order in each way;
///   network nodes are numbered in the order of first use;
/// - the level at a feature's end is the level of the node there: of the
///   levels of the features meeting at that node, the one nearest 0 (the
///   lower on a tie), so a bridge meets the road it is joined to at one level
///   while features that merely touch the same point keep their own levels;
/// - a restriction maps onto the features of its from way and to way that
///   end at the via node; no_* forbids each such turn, only_* forbids every
///   feature ending at the via node except those of the to way. Restrictions
///   whose members are missing or not joined at the via node are ignored.
/// False with a message when no drivable road remains.
bool BuildRoadNetwork(const RawOsm& raw, RoadNetwork& net, std::string& sError);

/// ReadOsmFile then BuildRoadNetwork.
bool ImportRoadNetwork(const char* szFile, RoadNetwork& net, std::string& sError);

}  // namespace vxmap

#endif
