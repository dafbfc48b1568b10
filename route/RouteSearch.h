// The turn-aware A* search over the state graph (half-edges: a feature in
// one direction of travel), over the network's overlay (network/OverlayView.h)
// where it has one for the query's penalties: cut states reached in a cell
// that holds neither the target nor a block go on by the cell's clique, and
// the clique arcs of the route found are unpacked into states by searches
// inside their cells. One search object serves one query at a time and keeps
// its work arrays between queries; they are allocated at the first query, as
// pages the system hands out zeroed and maps only where a search writes.
#ifndef VX_ROUTE_ROUTESEARCH_H
#define VX_ROUTE_ROUTESEARCH_H

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>
#include <vector>

#include "route/RouteGraph.h"

namespace vxroute {

/// How a route is priced. Costs are seconds (fastest) or metres (shortest);
/// the two penalties are in the same unit and never negative.
struct CostModel {
  bool bShortest = false;
  double dTurnPenalty = 0.0;   ///< a turn of more than 45 degrees between features
  double dUTurnPenalty = 0.0;  ///< turning back onto the same feature at a dead end
};

/// A way to leave the start. When the start lies inside a feature, h is that
/// feature in one direction and dCost the price of its rest from the start
/// point; when the start is a node, h leaves the node and dCost is 0. Either
/// way dCost includes the penalty for leaving against the wanted heading.
/// dDirect is the price of reaching the target on h itself before h ends
/// (start and target inside the same feature, target ahead), else negative.
struct StartLeg {
  HalfEdge h;
  double dCost;
  double dDirect;
};

struct SearchStart {
  bool bAtNode = false;
  std::vector<StartLeg> legs;
};

/// The target: a node, or a point inside feature nFeature whose price from
/// the start of each direction is dPartial[0] (forward) and dPartial[1].
struct SearchTarget {
  bool bAtNode = false;
  std::uint32_t nNode = 0;
  std::uint32_t nFeature = 0;
  double dPartial[2] = {0.0, 0.0};
  double dX = 0.0, dY = 0.0;  ///< map units, for the distance estimate
};

/// One edge of a found route: half-edge h, cut at the start point when
/// bFromStart, cut at the target point when bToTarget.
struct RouteLeg {
  HalfEdge h;
  bool bFromStart;
  bool bToTarget;
};

class RouteSearch {
 public:
  explicit RouteSearch(const RouteGraph& graph);

  /// Cheapest route from start to target over usable features, honouring
  /// one-way marks, forbidden turns and turning back only where nothing else
  /// leaves a node. A blocked feature (pBlocked, one flag per feature, or null
  /// for none; blocked lists the flagged ones) is never driven through; the
  /// target may still be reached on one, and a start leg may lie on one.
  /// Start legs must lie on usable features. Fills legs in travel order;
  /// false when no route exists. Throws std::bad_alloc when the work arrays
  /// cannot be had.
  bool Run(const SearchStart& start, const SearchTarget& target, const CostModel& cost,
           const std::uint8_t* pBlocked, std::span<const std::uint32_t> blocked,
           std::vector<RouteLeg>& legs);
  /// True when a query priced by cost runs over the overlay.
  bool UsesOverlay(const CostModel& cost) const;

  /// Half-edges taken off the queue by the last Run.
  std::size_t Settled() const { return m_nSettled; }
  std::size_t MemoryBytes() const;

 private:
  struct QueueItem {
    double dKey;
    double dCost;
    vxnet::State nState;
    std::uint32_t nVertex;  ///< the state's overlay vertex, or kNoCell
    // Equal keys: the one farther from the start first, which settles
    // fewer states on grids where many routes cost the same.
    bool operator>(const QueueItem& o) const {
      return dKey > o.dKey || (dKey == o.dKey && dCost < o.dCost);
    }
  };

  struct Free {
    void operator()(void* p) const { std::free(p); }
  };
  template <class T>
  using Array = std::unique_ptr<T[], Free>;
  /// Costs, parents and generation stamps of a set of keys.
  struct LabelArrays {
    Array<double> cost;           ///< valid where stamp is the generation
    Array<std::uint32_t> parent;  ///< likewise
    Array<std::uint32_t> stamp;   ///< zeroed at allocation
    std::size_t nSize = 0;
    void Allocate(std::size_t n);
  };
  /// LabelArrays as the cell searches of the unpacking use them.
  class CellLabels;

  /// Sets up the query of Run: its fields, the work arrays, the open cells.
  void Prepare(const SearchTarget& target, const CostModel& cost, const std::uint8_t* pBlocked,
               std::span<const std::uint32_t> blocked);
  /// Enters the start legs: the turns at their ends and the goals they reach.
  void Seed(const SearchStart& start);
  /// Settles the queue until the goal comes off it; false when it never does.
  bool SearchGoal();
  /// Settles one state taken off the queue, unless a cheaper entry came first.
  void Settle(const QueueItem& item);
  /// The legs of the route found, walking back from the goal; false when a
  /// clique arc cannot be unpacked.
  bool CollectLegs(const SearchStart& start, std::vector<RouteLeg>& legs);
  void NextGeneration();
  bool IsBlocked(std::uint32_t nFeature) const {
    return m_pBlocked != nullptr && m_pBlocked[nFeature] != 0;
  }
  bool IsTargetFeature(std::uint32_t nFeature) const;
  double FullCost(vxnet::State h) const;
  double Estimate(vxnet::State h, std::uint32_t nVertex, double dX, double dY) const;
  vxnet::State ParentOf(vxnet::State h) const;
  std::uint32_t VertexOf(vxnet::State h) const;
  void OpenCells(const SearchTarget& target, std::span<const std::uint32_t> blocked);
  std::uint32_t ClosedLevels(std::uint32_t nNode) const;
  std::uint32_t CliqueLevel(vxnet::State h, std::uint32_t nVertex) const;
  void Push(vxnet::State h, std::uint32_t nVertex, double dCost);
  void Relax(vxnet::State h, double dCost, std::uint32_t nParent);
  void Expand(vxnet::State hArrived, double dArrive, std::uint32_t nParent);
  void ExpandClique(vxnet::State h, std::uint32_t nVertex, std::uint32_t nLevel, double dCost);
  void OfferGoal(double dCost, std::uint32_t nLast, bool bPartial, bool bDirect);
  bool Unpack(std::vector<vxnet::State>& path);
  bool UnpackArc(std::uint32_t nLevel, vxnet::State from, vxnet::State to,
                 std::vector<vxnet::State>& out);

  const RouteGraph& m_graph;
  const vxnet::OverlayView& m_overlay;
  LabelArrays m_states;    ///< per state (half-edges and copies, once allocated)
  LabelArrays m_vertices;  ///< per overlay vertex, once an overlay query ran
  std::vector<QueueItem> m_queue;
  std::uint32_t m_nGeneration = 0;
  std::size_t m_nSettled = 0;

  // The query being run.
  const SearchTarget* m_pTarget = nullptr;
  const CostModel* m_pCost = nullptr;
  const std::uint8_t* m_pBlocked = nullptr;
  vxnet::TurnRule m_rule;
  bool m_bOverlay = false;
  std::vector<std::uint32_t> m_open[vxnet::kMaxOverlayLevels];  ///< open cells per level
  double m_dGoal = 0.0;
  std::uint32_t m_nGoalLast = 0;
  bool m_bGoalPartial = false;
  bool m_bGoalDirect = false;
};

}  // namespace vxroute

#endif
