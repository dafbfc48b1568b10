// The road network: features (road stretches between junctions), their
// points, the network nodes at their ends, names, forbidden turns,
// restrictions over via roads, the feature-box grid of the reader's rectangle search and the route
// engine's graph. The importer writes it into vectors (RoadNetwork); the compiled map file stores
// the same arrays; the reader and the engine read either through a NetworkView of spans. Records
// are fixed-width and hold no pointers, so the mapped file can be read in place.
#ifndef VX_NETWORK_ROADNETWORK_H
#define VX_NETWORK_ROADNETWORK_H

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "interfaces/VroTypes.h"
#include "network/OverlayView.h"

namespace vxnet {

/// Feature::nFlags bits.
inline constexpr std::uint8_t kRoutable = 1;    ///< the route engine may use it
inline constexpr std::uint8_t kRoundabout = 2;  ///< junction=roundabout/circular

/// One drivable road stretch between two network nodes (junctions or dead
/// ends). Its edge number (EID) is its index in the features + 1. 28 bytes.
struct Feature {
  std::uint32_t nFirstPoint;  ///< index of its first point in the points
  std::uint32_t nPointCount;  ///< number of points, at least 2
  std::uint32_t nFromNode;    ///< network node at its first point
  std::uint32_t nToNode;      ///< network node at its last point
  std::uint32_t nName;        ///< index in the names; 0 is the empty name
  std::uint16_t nMaxSpeed;    ///< km/h; 0 when unknown
  std::uint8_t nRoadClass;    ///< 1 (motorway) .. 7 (residential, service, ...)
  std::int8_t nOneWay;        ///< > 0 first to last only, < 0 last to first only, 0 both
  std::int8_t nLevelFirst;    ///< level at the first point (layer, bridge, tunnel)
  std::int8_t nLevelLast;     ///< level at the last point
  std::uint8_t nFlags;        ///< kRoutable, kRoundabout
  std::uint8_t nReserved;     ///< 0
  bool IsRoutable() const { return (nFlags & kRoutable) != 0; }
  bool IsRoundabout() const { return (nFlags & kRoundabout) != 0; }
};
static_assert(sizeof(Feature) == 28);

/// A turn that may not be made: from feature nFrom through node nVia into
/// feature nTo (feature indices, not edge numbers). 12 bytes.
struct ForbiddenTurn {
  std::uint32_t nFrom;
  std::uint32_t nVia;
  std::uint32_t nTo;
};
static_assert(sizeof(ForbiddenTurn) == 12);

/// ViaRestriction::nKind values.
inline constexpr std::uint8_t kViaNo = 0;  ///< the sequence from, via..., to may not be driven
/// Having driven from and the via half-edges, a route may go on only into
/// nTo, or into the nTo of another kViaOnly record with the same from and via.
inline constexpr std::uint8_t kViaOnly = 1;

/// A turn restriction over one or more via roads, as half-edges (2 * feature
/// + 0 driven from its first point to its last, + 1 back; RouteGraphData.h):
/// nFrom arrives at the first via node, the via half-edges follow it in
/// driving order (each starting where the one before ends), nTo leaves the
/// last via node. Kept for the route engine only: the reader's turn lists
/// (single turns at a junction) do not hold them. 16 bytes.
struct ViaRestriction {
  std::uint32_t nFrom;      ///< half-edge into the first via node
  std::uint32_t nTo;        ///< half-edge out of the last via node
  std::uint32_t nFirstVia;  ///< index of the first via half-edge in the via half-edges
  std::uint16_t nViaCount;  ///< via half-edges, at least 1
  std::uint8_t nKind;       ///< kViaNo or kViaOnly
  std::uint8_t nReserved;   ///< 0
};
static_assert(sizeof(ViaRestriction) == 16);

/// An axis-parallel box in Bin_LonLat units, bounds included.
struct BinBox {
  std::int32_t nMinLon, nMinLat, nMaxLon, nMaxLat;
  bool Meets(const BinBox& o) const {
    return nMinLon <= o.nMaxLon && o.nMinLon <= nMaxLon && nMinLat <= o.nMaxLat &&
           o.nMinLat <= nMaxLat;
  }
};

/// One level of the feature-box grid (FeatureBoxGrid.h): cells of
/// nCellLon x nCellLat units from the origin, nCols x nRows of them, whose
/// offsets start at index nFirstCell of the grid's cell starts. 56 bytes.
struct GridLevel {
  std::int64_t nOriginLon, nOriginLat;
  std::int64_t nCellLon, nCellLat;
  std::int64_t nCols, nRows;
  std::uint64_t nFirstCell;
};
static_assert(sizeof(GridLevel) == 56);

/// Figures of the whole network the route search needs. 32 bytes.
struct GraphInfo {
  double dMaxSpeed;  ///< the highest feature speed over the usable features, m/s, >= 1
  double dLonScale;  ///< metres per unit of longitude, a lower bound over the network
  double dLatScale;  ///< metres per unit of latitude, a lower bound
  double dReserved;  ///< 0
};
static_assert(sizeof(GraphInfo) == 32);

/// Route graph flag bits (one byte per feature).
inline constexpr std::uint8_t kUsable = 1;    ///< routable and consistent
inline constexpr std::uint8_t kTurnRule = 2;  ///< a forbidden turn starts on it
inline constexpr std::uint8_t kViaStart = 4;  ///< a via step (ViaStep) leaves one of its half-edges

/// A step of the route graph that is not the plain turn because of the
/// restrictions over via roads (network/ViaCopies.h): from state nState,
/// turning into half-edge nTurn leads to state nNext, a copy of nTurn, or
/// nowhere (kBarredStep). 12 bytes.
struct ViaStep {
  std::uint32_t nState;
  std::uint32_t nTurn;
  std::uint32_t nNext;
};
static_assert(sizeof(ViaStep) == 12);
inline constexpr std::uint32_t kBarredStep = 0xFFFFFFFFu;

/// The items of key k of a counting table (CountingTable.h): empty when k has
/// no entry or its offsets are out of order or past the items, so that a
/// corrupt table can never be read out of bounds.
template <class T>
std::span<const T> TableRange(std::span<const std::uint32_t> start, std::span<const T> items,
                              std::size_t k) {
  if (start.size() < 2 || k > start.size() - 2) return {};
  const std::uint32_t s = start[k], e = start[k + 1];
  if (s > e || e > items.size()) return {};
  return items.subspan(s, e - s);
}

/// The feature-box grid as arrays.
struct GridView {
  std::span<const GridLevel> levels;
  std::span<const std::uint32_t> cellStart;  ///< total cells + 1 offsets into items
  std::span<const std::uint32_t> items;      ///< feature indices
};

/// The route engine's graph as arrays. Empty spans: not built.
struct GraphView {
  std::span<const float> lengths;               ///< per feature, geodesic metres
  std::span<const std::uint16_t> bearings;      ///< per feature: first step, last step (forward)
  std::span<const std::uint8_t> flags;          ///< per feature: kUsable, kTurnRule
  std::span<const std::uint32_t> leavingStart;  ///< node -> offset in leaving (nodes + 1)
  std::span<const std::uint32_t> leaving;       ///< half-edges leaving each node
  /// Per copy of a half-edge (state 2 * features + i), its half-edge.
  std::span<const std::uint32_t> copies;
  std::span<const ViaStep> steps;  ///< sorted by nState, then nTurn
  GraphInfo info{1.0, 0.0, 0.0, 0.0};
  bool Built() const { return !lengths.empty(); }
};

/// Read-only view of a network, over vectors or over a mapped file. Every
/// accessor that follows an index stored in a record checks it, so that a
/// view over any file is never read out of bounds.
struct NetworkView {
  std::span<const Bin_LonLat> points;          ///< the features' points, feature after feature
  std::span<const Feature> features;           ///< in a fixed order for a given file
  std::span<const Bin_LonLat> nodes;           ///< network nodes
  std::span<const std::uint32_t> nameOffsets;  ///< name i at nameBytes[nameOffsets[i]]
  std::span<const char> nameBytes;             ///< NUL-terminated names; ends with a NUL
  std::span<const ForbiddenTurn> forbidden;    ///< sorted by (nFrom, nVia, nTo)
  /// Sorted by nFrom, then the via half-edges, nTo and nKind; empty on a map
  /// file of format 1.0.
  std::span<const ViaRestriction> viaRestrictions;
  std::span<const std::uint32_t> viaHalfEdges;  ///< the records' via half-edges
  /// Per feature, the OpenStreetMap way it was cut from; empty on a compiled
  /// map (which does not store them) and on networks built by hand.
  std::span<const std::uint64_t> wayIds;
  GridView grid;
  GraphView graph;
  OverlayView overlay;  ///< not built: a search without it

  std::uint32_t FeatureCount() const { return static_cast<std::uint32_t>(features.size()); }
  /// The points of f; empty when its range is not inside the points or has
  /// fewer than two.
  std::span<const Bin_LonLat> PointsOf(const Feature& f) const {
    if (f.nPointCount < 2 || f.nFirstPoint > points.size() ||
        f.nPointCount > points.size() - f.nFirstPoint)
      return {};
    return points.subspan(f.nFirstPoint, f.nPointCount);
  }
  /// Name nName, NUL-terminated; "" for an index or offset out of range.
  const char* NameOf(std::uint32_t nName) const {
    if (nName >= nameOffsets.size() || nameOffsets[nName] >= nameBytes.size() ||
        nameBytes.back() != '\0')
      return "";
    return nameBytes.data() + nameOffsets[nName];
  }
  /// The via half-edges of r in driving order; empty when its range is not
  /// inside the via half-edges. The half-edge numbers themselves are not
  /// checked: the caller checks them against the features.
  std::span<const std::uint32_t> ViaOf(const ViaRestriction& r) const {
    if (r.nFirstVia > viaHalfEdges.size() || r.nViaCount > viaHalfEdges.size() - r.nFirstVia)
      return {};
    return viaHalfEdges.subspan(r.nFirstVia, r.nViaCount);
  }
  /// The via restrictions whose from half-edge is h (a binary search, which
  /// stays inside the records whatever their order).
  std::span<const ViaRestriction> ViaRestrictionsFrom(std::uint32_t h) const;
};

/// The names as the importer collects them: name 0 is "".
struct NameTable {
  std::vector<std::uint32_t> offsets{0};
  std::vector<char> bytes{'\0'};
  /// Appends a name (not interned) and returns its index.
  std::uint32_t Add(std::string_view sName);
  std::size_t Count() const { return offsets.size(); }
};

/// The feature-box grid in vectors.
struct GridData {
  std::vector<GridLevel> levels;
  std::vector<std::uint32_t> cellStart;
  std::vector<std::uint32_t> items;
};

/// The route graph in vectors.
struct GraphData {
  std::vector<float> lengths;
  std::vector<std::uint16_t> bearings;
  std::vector<std::uint8_t> flags;
  std::vector<std::uint32_t> leavingStart;
  std::vector<std::uint32_t> leaving;
  std::vector<std::uint32_t> copies;
  std::vector<ViaStep> steps;
  GraphInfo info{1.0, 0.0, 0.0, 0.0};

  /// A view of the vectors; valid while they are not changed.
  GraphView View() const;
  /// Bytes held by the vectors.
  std::size_t Bytes() const;
};

/// A network held in vectors, as the importer or a test builds it. The grid
/// and the graph are empty until built (FeatureBoxGrid.h, RouteGraphData.h).
struct RoadNetwork {
  std::vector<Bin_LonLat> points;
  std::vector<Feature> features;
  std::vector<Bin_LonLat> nodes;
  NameTable names;
  std::vector<ForbiddenTurn> forbidden;
  std::vector<ViaRestriction> viaRestrictions;
  std::vector<std::uint32_t> viaHalfEdges;
  std::vector<std::uint64_t> wayIds;  ///< per feature, the way it was cut from (import only)
  GridData grid;
  GraphData graph;
  OverlayData overlay;

  /// A view of the vectors; valid while they are not changed.
  NetworkView View() const;
  /// Bytes held by the vectors.
  std::size_t Bytes() const;
};

}  // namespace vxnet

#endif
