// The importer: reads an OpenStreetMap file and builds the road network.
// Reading (libosmium) and building (plain C++) are separate steps so that the
// building rules can be exercised on records made in memory. Memory stays
// bounded by the drivable roads: ways are kept as compact records over one
// array of node indices, names once each, and only the locations of the
// nodes the kept ways use.
#ifndef VX_MAP_OSMIMPORT_H
#define VX_MAP_OSMIMPORT_H

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "map/RestrictionRules.h"
#include "network/RoadNetwork.h"

namespace vxmap {

/// A car-drivable way with its tags already interpreted (see OsmTags.h); its
/// nodes are RawOsm::refs[nFirstRef .. nFirstRef + nRefCount).
struct RawWay {
  std::int64_t nWayId;
  std::uint32_t nName;  ///< index in RawOsm::names
  std::uint32_t nFirstRef;
  std::uint32_t nRefCount;
  std::uint16_t nMaxSpeed;
  std::uint8_t nRoadClass;
  std::int8_t nOneWay;
  std::int8_t nLevel;
  bool bRoutable;
  bool bRoundabout;
};

/// A turn restriction relation that binds cars (RestrictionRules.h). Its
/// member ids are RawOsm::restrictionMembers[nFirstMember ..]: nFromCount
/// from ways, then nViaCount via members (one node when bViaNode, else ways
/// in driving order), then nToCount to ways.
struct RawRestriction {
  std::uint32_t nFirstMember;
  std::uint16_t nFromCount;
  std::uint16_t nViaCount;
  std::uint16_t nToCount;
  bool bViaNode;
  RestrictionKind kind;
};

/// Members of one role a restriction may have; a relation with more is
/// counted as kBadMembers.
inline constexpr std::size_t kMaxRoleMembers = 64;

/// What the importer keeps of a file: the ways in file order, their nodes as
/// indices into nodeIds (the ids of the nodes the ways use, sorted, each once)
/// with a location per node, the names, the restrictions that bind cars and
/// the count of what became of every restriction relation.
struct RawOsm {
  std::vector<RawWay> ways;
  std::vector<std::uint32_t> refs;
  std::vector<std::int64_t> nodeIds;
  std::vector<Bin_LonLat> nodePoints;  ///< kNoLocation where the file gives none
  vxnet::NameTable names;              ///< each name once; 0 is ""
  std::vector<RawRestriction> restrictions;
  std::vector<std::int64_t> restrictionMembers;
  /// Reading counts the relations it drops, BuildRoadNetwork the rest.
  RestrictionStats restrictionStats;
};

/// A node point the file gives no valid location for.
inline constexpr Bin_LonLat kNoLocation{INT32_MIN, INT32_MIN};

/// How ReadOsmFile finds the node locations: kAuto reads the nodes in the same
/// pass as the ways for files under 64 MiB (keeping every node's location
/// until the ways are read) and in a second pass over the file otherwise
/// (keeping only the locations of the nodes the drivable ways use).
enum class NodePass { kAuto, kSame, kSecond };

/// Called now and then while a file is read: the pass ("ways", "nodes"), the
/// bytes of the file read so far and its size.
using ReadProgress =
    std::function<void(const char* szPass, std::uint64_t nDone, std::uint64_t nSize)>;

/// Reads the car-drivable ways and the turn restrictions of an .osm, .osm.pbf
/// or .osm.bz2 file. False with a message in sError when the file cannot be
/// read or parsed.
bool ReadOsmFile(const char* szFile, RawOsm& raw, std::string& sError,
                 NodePass pass = NodePass::kAuto, const ReadProgress& progress = {});

/// Builds the network from raw ways and restrictions (net is replaced; the
/// names are moved out of raw):
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
/// - a restriction maps onto half-edges: for each pair of a from way and a
///   to way, those of the from way's features that arrive at the via node
///   (for via ways: at the first via node, after which the via ways' features
///   follow in driving order) and those of the to way's that leave it (the
///   last via node), as their one-way marks allow. A single such pair is the
///   turn the restriction names; among several, the turn angle (from the
///   arrival to the departure) tells the leg (CanBeLeg): for each arrival, the
///   one departure that can be the named leg, none when no departure or more
///   than one can be; no_entry and no_exit take every pair. With a via node,
///   no_* forbids the turns told (ForbiddenTurn), only_* every other feature
///   at the via node from the arrivals told; with via ways, each sequence
///   told becomes a ViaRestriction. raw.restrictionStats counts each relation
///   as applied or ignored with its reason (docs/restrictions.md).
/// The grid and the graph are not built. False with a message when no
/// drivable road remains.
bool BuildRoadNetwork(RawOsm& raw, vxnet::RoadNetwork& net, std::string& sError);

/// ReadOsmFile then BuildRoadNetwork.
bool ImportRoadNetwork(const char* szFile, vxnet::RoadNetwork& net, std::string& sError,
                       NodePass pass = NodePass::kAuto);

}  // namespace vxmap

#endif
