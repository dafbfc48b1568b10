// The route engine over a road network: snaps start and target to the
// nearest drivable feature, searches the cheapest route and hands it out
// edge by edge. The network must outlive the engine; one thread at a time.
//
// FindPath arguments:
//   dAngle        heading at the start in degrees counterclockwise from east
//                 (on the plane of raw longitude and latitude, as the path
//                 library measures directions), negative or not finite for none. With a heading the
//                 start snaps to the nearest segment that may be driven within 45 degrees of it,
//                 when one lies at most 25 m farther than the nearest segment of all, and the route
//                 leaves the start in such a direction whenever any route that does exists.
//   szRouteArg    "fastest" (also null or empty; travel time from maxspeed,
//                 else the road class speed) or "shortest" (length), in any
//                 letter case; any other text finds no route.
//   dRouteArg1    penalty for each turn of more than 45 degrees from one
//                 feature into another: seconds (fastest) or metres
//                 (shortest). Negative or not finite counts as 0.
//   dRouteArg2    penalty for turning back at a dead end, same units.
//   szEndName     not used: the target is found by its position.
// Points farther than 5000 m from every drivable feature are not snapped;
// nor to a feature of a small strongly connected component unless the point
// lies within 10 m of it (interfaces/VroRoute.h has the rule). A start on a
// blocked feature turns back on it or starts on the nearest open road.
#ifndef VX_ROUTE_ROUTEENGINE_H
#define VX_ROUTE_ROUTEENGINE_H

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "route/RouteGraph.h"
#include "route/RouteSearch.h"

namespace vxroute {

class RouteEngine {
 public:
  /// Over net, whose arrays must outlive the engine. On a compiled map (graph
  /// and grid stored) nothing is built or allocated by the network's size
  /// until the first query; otherwise the graph and grid are built here.
  /// Throws std::bad_alloc when memory runs out.
  explicit RouteEngine(const vxnet::NetworkView& net);

  /// Finds a route; the number of edges found (0 when start and target
  /// snap to the same point), or -1 when there is no route. Drops any
  /// route found before.
  int FindPath(const tagLonLat& ptStart, const tagLonLat& ptEnd, double dAngle, double dRouteArg1,
               const char* szRouteArg, double dRouteArg2);
  /// 1 when a found route can be handed out from its first edge, else 0
  /// (also for a route of no edges).
  int RetrieveStart();
  /// The next edge: its point count, with the texts (code 6 bytes, road code
  /// 21, name 301, maxspeed 100, each written NUL-terminated within those
  /// sizes), id, geodesic length and points in the direction of travel.
  /// The points belong to the engine and stay valid until the next call.
  /// 0 when no edge is left or no route is found.
  int RetrieveNextEdge(char* szCode, char* szStr1, char* szStr2, char* szRoadAttr,
                       VRO_FEATURE_ID& id, double& dEdgeLen, tagLonLat*& pPts);
  /// Drops the found route.
  void Reset();
  /// Later searches do not drive through the feature of id, in either
  /// direction; a target lying on it still snaps to it and is reached on it;
  /// a start lying on it only turns back on it (against the heading), else
  /// the start moves to the nearest open road. An id that names no feature
  /// of the network is ignored.
  void AddBlock(const VRO_FEATURE_ID& id);
  void RemoveAllBlocks();

  /// Bytes held by the engine's index, work arrays and found route.
  std::size_t MemoryBytes() const;
  /// Half-edges settled by the last search.
  std::size_t LastSettled() const { return m_search.Settled(); }

 private:
  /// A point snapped onto segment nSeg of feature nFeature, rounded to the
  /// map's integer units; nNode >= 0 when it is the feature's end point.
  struct Snap {
    std::uint32_t nFeature = 0;
    std::uint32_t nSeg = 0;
    Bin_LonLat pt{0, 0};
    std::int64_t nNode = -1;
  };
  /// One edge ready to hand out.
  struct DeliveredEdge {
    std::uint32_t nFeature;
    bool bReversed;
    std::vector<Bin_LonLat> pts;
  };

  /// Snaps pt to the nearest road of a large component (within 5000 m), or
  /// of a small one within 10 m; with a heading, as FindPath says; only to
  /// unblocked roads when bOpenOnly.
  bool SnapTo(const tagLonLat& pt, double dAngle, bool bOpenOnly, Snap& snap) const;
  bool InLargeComponent(std::uint32_t nFeature) const;
  void BuildStart(const Snap& s, const Snap& t, double dAngle, SearchStart& start) const;
  /// Appends the ways to leave the start s and their bearings: from a node,
  /// the allowed directions of usable features that are open or hold the
  /// target t inside them; inside a feature, its allowed directions, on a
  /// closed one with a heading (bHeading, dHeading) only those more than 90
  /// degrees off it.
  void StartWays(const Snap& s, const Snap& t, bool bHeading, double dHeading,
                 std::vector<HalfEdge>& ways, std::vector<double>& bearings) const;
  /// True when t lies ahead of s on h, both inside h's feature.
  bool TargetAhead(const Snap& s, const Snap& t, HalfEdge h) const;
  void BuildTarget(const Snap& t, SearchTarget& target) const;
  /// The points of h from the start snap (or its first point) to the target
  /// snap (or its last point).
  void LegPoints(HalfEdge h, const Snap* pFrom, const Snap* pTo,
                 std::vector<Bin_LonLat>& pts) const;
  double PriceOf(std::uint32_t nFeature, const std::vector<Bin_LonLat>& pts) const;

  bool IsBlocked(std::uint32_t nFeature) const { return m_pBlocked && m_pBlocked[nFeature] != 0; }

  struct Free {
    void operator()(void* p) const { std::free(p); }
  };

  RouteGraph m_graph;
  RouteSearch m_search;
  std::unique_ptr<std::uint8_t[], Free> m_pBlocked;  ///< one flag per feature, at the first block
  std::vector<std::uint32_t> m_blockedList;          ///< the features flagged
  CostModel m_cost;

  std::vector<DeliveredEdge> m_route;
  bool m_bFound = false;
  std::size_t m_nNext = 0;
  std::vector<tagLonLat> m_pts;  // the points of the edge handed out last
};

}  // namespace vxroute

#endif
