// Turn-aware A* over the state graph, over its overlay where one serves the
// query. The cost of a state is the price of reaching its start node
// committed to drive it (turn penalties paid); the estimate is the
// straight-line lower bound from that node to the target at the network's
// highest speed, which never overstates the rest, clique arcs included.
#include "route/RouteSearch.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <new>

#include "network/CellSearch.h"

namespace vxroute {

namespace {

using vxnet::kNoCell;
using vxnet::State;

constexpr double kInfinity = std::numeric_limits<double>::infinity();
// Parent codes beyond every half-edge: a state entered from the start node,
// and the first states entered from the (partial) start legs 0 and 1.
constexpr std::uint32_t kRoot = 0xFFFFFFFFu;
constexpr std::uint32_t kGoalState = 0xFFFFFFFEu;
constexpr std::uint32_t kFirstVirtual = 0xFFFFFFF0u;

vxnet::Metric MetricOf(const CostModel& cost) {
  return cost.bShortest ? vxnet::Metric::kShortest : vxnet::Metric::kFastest;
}

}  // namespace

void RouteSearch::LabelArrays::Allocate(std::size_t n) {
  // calloc leaves large blocks as untouched zero pages: a search maps only
  // the pages of the keys it reaches.
  Array<std::uint32_t> s(static_cast<std::uint32_t*>(std::calloc(n, sizeof(std::uint32_t))));
  Array<double> c(static_cast<double*>(std::malloc(n * sizeof(double))));
  Array<std::uint32_t> p(static_cast<std::uint32_t*>(std::malloc(n * sizeof(std::uint32_t))));
  if (n > 0 && (!s || !c || !p)) throw std::bad_alloc();
  stamp = std::move(s);
  cost = std::move(c);
  parent = std::move(p);
  nSize = n;
}

// The labels of states (level 1) or vertices (above) for a cell search.
class RouteSearch::CellLabels {
 public:
  CellLabels(RouteSearch& search, LabelArrays& labels) : m_search(search), m_labels(labels) {}
  void Clear() { m_search.NextGeneration(); }
  bool Improve(std::uint32_t k, double dCost, std::uint32_t nParent) {
    if (m_labels.stamp[k] == m_search.m_nGeneration && !(dCost < m_labels.cost[k])) return false;
    m_labels.stamp[k] = m_search.m_nGeneration;
    m_labels.cost[k] = dCost;
    m_labels.parent[k] = nParent;
    return true;
  }
  double Cost(std::uint32_t k) const { return m_labels.cost[k]; }

 private:
  RouteSearch& m_search;
  LabelArrays& m_labels;
};

RouteSearch::RouteSearch(const RouteGraph& graph)
    : m_graph(graph), m_overlay(graph.Net().overlay) {}

bool RouteSearch::UsesOverlay(const CostModel& cost) const {
  return m_overlay.Built() && m_overlay.info.nStates == m_graph.StateCount() &&
         cost.dTurnPenalty == m_overlay.info.dTurnPenalty &&
         cost.dUTurnPenalty == m_overlay.info.dUTurnPenalty;
}

void RouteSearch::NextGeneration() {
  if (++m_nGeneration == 0) {
    for (LabelArrays* a : {&m_states, &m_vertices}) {
      if (a->nSize > 0) std::fill(a->stamp.get(), a->stamp.get() + a->nSize, 0u);
    }
    m_nGeneration = 1;
  }
}

double RouteSearch::FullCost(State h) const { return m_graph.Cost(h, MetricOf(*m_pCost)); }

double RouteSearch::Estimate(State h, std::uint32_t nVertex, double dX, double dY) const {
  // A vertex's point is at hand (its state's start node, read in place of
  // the state's feature and node); one of a corrupt file may name a state
  // whose node is out of range.
  const Bin_LonLat* p = nullptr;
  if (nVertex < m_overlay.vertexPoints.size()) {
    p = &m_overlay.vertexPoints[nVertex];
  } else if (const std::uint32_t nNode = m_graph.StartNode(h); nNode < m_graph.NodeCount()) {
    p = &m_graph.NodePoint(nNode);
  } else {
    return 0.0;
  }
  const double dMetres = m_graph.LowerBoundMetres(p->lon, p->lat, dX, dY);
  return m_pCost->bShortest ? dMetres : dMetres / m_graph.MaxSpeed();
}

bool RouteSearch::IsTargetFeature(std::uint32_t nFeature) const {
  return !m_pTarget->bAtNode && nFeature == m_pTarget->nFeature;
}

std::uint32_t RouteSearch::VertexOf(State h) const {
  if (!m_bOverlay) return kNoCell;
  const std::uint32_t a = m_graph.StartNode(h), b = m_graph.EndNode(h);
  if (a >= m_overlay.nodeCells.size() || b >= m_overlay.nodeCells.size() ||
      m_overlay.nodeCells[a] == m_overlay.nodeCells[b])
    return kNoCell;
  const std::uint32_t v = m_overlay.VertexOf(h);
  return v < m_vertices.nSize ? v : kNoCell;
}

State RouteSearch::ParentOf(State h) const {
  const std::uint32_t v = VertexOf(h);
  return v != kNoCell ? m_vertices.parent[v] : m_states.parent[h];
}

void RouteSearch::OpenCells(const SearchTarget& target, std::span<const std::uint32_t> blocked) {
  std::vector<std::uint32_t> nodes;
  const auto ends = [&](std::uint32_t f) {
    if (m_graph.IsUsable(f)) {
      nodes.push_back(m_graph.Net().features[f].nFromNode);
      nodes.push_back(m_graph.Net().features[f].nToNode);
    }
  };
  if (target.bAtNode) {
    nodes.push_back(target.nNode);
  } else {
    ends(target.nFeature);
  }
  for (const std::uint32_t f : blocked) ends(f);
  for (std::uint32_t l = 0; l < vxnet::kMaxOverlayLevels; ++l) {
    m_open[l].clear();
    if (l >= m_overlay.info.nLevels) continue;
    for (const std::uint32_t n : nodes) m_open[l].push_back(m_overlay.CellOf(n, l + 1));
    std::sort(m_open[l].begin(), m_open[l].end());
  }
}

std::uint32_t RouteSearch::ClosedLevels(std::uint32_t nNode) const {
  for (std::uint32_t l = 1; l <= m_overlay.info.nLevels; ++l) {
    const std::uint32_t c = m_overlay.CellOf(nNode, l);
    if (c == kNoCell || std::binary_search(m_open[l - 1].begin(), m_open[l - 1].end(), c))
      return l - 1;
  }
  return m_overlay.info.nLevels;
}

std::uint32_t RouteSearch::CliqueLevel(State h, std::uint32_t nVertex) const {
  return nVertex == kNoCell
             ? 0
             : std::min(m_overlay.CutLevel(nVertex), ClosedLevels(m_graph.EndNode(h)));
}

void RouteSearch::Push(State h, std::uint32_t nVertex, double dCost) {
  m_queue.push_back(
      {dCost + Estimate(h, nVertex, m_pTarget->dX, m_pTarget->dY), dCost, h, nVertex});
  std::push_heap(m_queue.begin(), m_queue.end(), std::greater<>{});
}

void RouteSearch::Relax(State h, double dCost, std::uint32_t nParent) {
  const std::uint32_t v = VertexOf(h);
  LabelArrays& a = v != kNoCell ? m_vertices : m_states;
  const std::uint32_t k = v != kNoCell ? v : h;
  if (a.stamp[k] == m_nGeneration && !(dCost < a.cost[k])) {
    return;
  }
  a.stamp[k] = m_nGeneration;
  a.cost[k] = dCost;
  a.parent[k] = nParent;
  Push(h, v, dCost);
}

void RouteSearch::OfferGoal(double dCost, std::uint32_t nLast, bool bPartial, bool bDirect) {
  if (!(dCost < m_dGoal)) {
    return;
  }
  m_dGoal = dCost;
  m_nGoalLast = nLast;
  m_bGoalPartial = bPartial;
  m_bGoalDirect = bDirect;
  m_queue.push_back({dCost, dCost, kGoalState, kNoCell});
  std::push_heap(m_queue.begin(), m_queue.end(), std::greater<>{});
}

void RouteSearch::Expand(State hArrived, double dArrive, std::uint32_t nParent) {
  m_graph.ForEachTurn(hArrived, m_rule, [&](vxnet::State b, double dPenalty) {
    Relax(b, dArrive + dPenalty, nParent);
  });
}

void RouteSearch::ExpandClique(State h, std::uint32_t nVertex, std::uint32_t nLevel, double dCost) {
  const std::uint32_t c = m_overlay.CellOf(m_graph.EndNode(h), nLevel);
  const std::span<const std::uint32_t> exits = m_overlay.ExitsOf(c);
  const std::span<const float> row =
      m_overlay.Row(c, m_overlay.EntryRow(c, nVertex), MetricOf(*m_pCost));
  for (std::size_t j = 0; j < row.size() && j < exits.size(); ++j) {
    const std::uint32_t x = exits[j];
    const State s = m_overlay.StateOf(x);
    if (!(row[j] >= 0.0f) || std::isinf(row[j]) || s == kNoCell || x >= m_vertices.nSize) continue;
    const double d = dCost + row[j];
    if (m_vertices.stamp[x] == m_nGeneration && !(d < m_vertices.cost[x])) continue;
    m_vertices.stamp[x] = m_nGeneration;
    m_vertices.cost[x] = d;
    m_vertices.parent[x] = h;
    Push(s, x, d);
  }
}

bool RouteSearch::Run(const SearchStart& start, const SearchTarget& target, const CostModel& cost,
                      const std::uint8_t* pBlocked, std::span<const std::uint32_t> blocked,
                      std::vector<RouteLeg>& legs) {
  legs.clear();
  Prepare(target, cost, pBlocked, blocked);
  Seed(start);
  return SearchGoal() && CollectLegs(start, legs);
}

void RouteSearch::Prepare(const SearchTarget& target, const CostModel& cost,
                          const std::uint8_t* pBlocked, std::span<const std::uint32_t> blocked) {
  if (m_states.nSize == 0) {
    m_states.Allocate(m_graph.StateCount());
    m_nGeneration = 0;
  }
  m_bOverlay = UsesOverlay(cost);
  if (m_bOverlay && m_vertices.nSize == 0) {
    m_vertices.Allocate(m_overlay.vertexState.size());
  }
  m_pTarget = &target;
  m_pCost = &cost;
  m_pBlocked = pBlocked;
  m_rule = {pBlocked, target.bAtNode ? 0xFFFFFFFFu : target.nFeature, cost.dTurnPenalty,
            cost.dUTurnPenalty};
  if (m_bOverlay) OpenCells(target, blocked);
  m_dGoal = kInfinity;
  m_nSettled = 0;
  m_queue.clear();
  NextGeneration();
}

void RouteSearch::Seed(const SearchStart& start) {
  const SearchTarget& target = *m_pTarget;
  for (std::size_t i = 0; i < start.legs.size(); ++i) {
    const StartLeg& leg = start.legs[i];
    if (start.bAtNode) {
      Relax(leg.h, leg.dCost, kRoot);
      continue;
    }
    const std::uint32_t nVirtual = kFirstVirtual + static_cast<std::uint32_t>(i);
    if (leg.dDirect >= 0) {
      OfferGoal(leg.dDirect, nVirtual, true, true);
    }
    if (target.bAtNode && m_graph.EndNode(leg.h) == target.nNode) {
      OfferGoal(leg.dCost, nVirtual, false, false);
    }
    Expand(leg.h, leg.dCost, nVirtual);
  }
}

bool RouteSearch::SearchGoal() {
  while (!m_queue.empty()) {
    std::pop_heap(m_queue.begin(), m_queue.end(), std::greater<>{});
    const QueueItem item = m_queue.back();
    m_queue.pop_back();
    if (item.nState != kGoalState) {
      Settle(item);
    } else if (item.dCost == m_dGoal) {
      return true;
    }
  }
  return false;
}

void RouteSearch::Settle(const QueueItem& item) {
  const SearchTarget& target = *m_pTarget;
  const State h = item.nState;
  const HalfEdge e = m_graph.HalfEdgeOf(h);
  const LabelArrays& a = item.nVertex != kNoCell ? m_vertices : m_states;
  if (item.dCost > a.cost[item.nVertex != kNoCell ? item.nVertex : h] ||
      !m_graph.IsUsable(FeatureOf(e))) {
    return;  // a cheaper entry of this state came first
  }
  ++m_nSettled;
  if (IsTargetFeature(FeatureOf(e))) {
    OfferGoal(item.dCost + target.dPartial[IsReversed(e) ? 1 : 0], h, true, false);
  }
  if (IsBlocked(FeatureOf(e))) {
    return;  // entered only to reach the target on it, never driven through
  }
  const double dArrive = item.dCost + FullCost(h);
  if (target.bAtNode && m_graph.EndNode(h) == target.nNode) {
    OfferGoal(dArrive, h, false, false);
  }
  const std::uint32_t nLevel = CliqueLevel(h, item.nVertex);
  if (nLevel == 0) {
    Expand(h, dArrive, h);
  } else {
    ExpandClique(h, item.nVertex, nLevel, item.dCost);
  }
}

bool RouteSearch::CollectLegs(const SearchStart& start, std::vector<RouteLeg>& legs) {
  // Walk back from the goal; parents form a tree, so the walk ends.
  const auto virtualLeg = [&](std::uint32_t nCode) { return start.legs[nCode - kFirstVirtual].h; };
  if (m_bGoalDirect) {
    legs.push_back({virtualLeg(m_nGoalLast), true, true});
    return true;
  }
  std::vector<State> path;
  std::uint32_t nCur = m_nGoalLast;
  while (nCur < kFirstVirtual && path.size() <= m_states.nSize) {
    path.push_back(nCur);
    nCur = ParentOf(nCur);
  }
  std::reverse(path.begin(), path.end());
  if (!Unpack(path)) {
    return false;
  }
  if (nCur >= kFirstVirtual && nCur != kRoot) {
    legs.push_back({virtualLeg(nCur), true, false});
  }
  for (const State s : path) {
    legs.push_back({m_graph.HalfEdgeOf(s), false, false});
  }
  legs.back().bToTarget = m_bGoalPartial;
  return true;
}

bool RouteSearch::Unpack(std::vector<State>& path) {
  if (!m_bOverlay) return true;
  std::vector<State> out;
  for (std::size_t i = 0; i < path.size(); ++i) {
    if (i > 0) {
      const State p = path[i - 1];
      const std::uint32_t nLevel = CliqueLevel(p, VertexOf(p));
      if (nLevel > 0 && !UnpackArc(nLevel, p, path[i], out)) return false;
    }
    out.push_back(path[i]);
  }
  path = std::move(out);
  return true;
}

// Appends the states strictly between from and to, whose arc is a clique arc
// of level nLevel (of the cell of that level where from ends).
bool RouteSearch::UnpackArc(std::uint32_t nLevel, State from, State to, std::vector<State>& out) {
  const std::uint32_t c = m_overlay.CellOf(m_graph.EndNode(from), nLevel);
  const vxnet::TurnRule rule{nullptr, 0xFFFFFFFFu, m_overlay.info.dTurnPenalty,
                             m_overlay.info.dUTurnPenalty};
  const std::uint32_t nToNode = m_graph.StartNode(to);
  if (nToNode >= m_graph.NodeCount()) return false;
  const Bin_LonLat& ptTo = m_graph.NodePoint(nToNode);
  const bool bStates = nLevel == 1;
  LabelArrays& arrays = bStates ? m_states : m_vertices;
  CellLabels labels(*this, arrays);
  vxnet::CellSearch<CellLabels> search(m_graph, m_overlay, rule, MetricOf(*m_pCost), labels);
  const std::uint32_t nFrom = bStates ? from : VertexOf(from);
  const std::uint32_t nTo = bStates ? to : VertexOf(to);
  if (nFrom == kNoCell || nTo == kNoCell) return false;
  bool bReached = false;
  search.Run(
      nLevel, c, nFrom,
      [&](std::uint32_t k) {
        return bStates ? Estimate(k, kNoCell, ptTo.lon, ptTo.lat)
                       : Estimate(m_overlay.StateOf(k), k, ptTo.lon, ptTo.lat);
      },
      [&](std::uint32_t k, double) { return bReached = k == nTo; });
  if (!bReached) return false;
  // The keys from nTo back to nFrom (exclusive), then in travel order.
  std::vector<std::uint32_t> keys;
  for (std::uint32_t k = arrays.parent[nTo]; k != nFrom; k = arrays.parent[k]) {
    if (keys.size() > arrays.nSize) return false;
    keys.push_back(k);
  }
  std::reverse(keys.begin(), keys.end());
  if (bStates) {
    out.insert(out.end(), keys.begin(), keys.end());
    return true;
  }
  State prev = from;
  keys.push_back(nTo);
  for (const std::uint32_t k : keys) {
    const State s = m_overlay.StateOf(k);
    if (!UnpackArc(nLevel - 1, prev, s, out)) return false;
    if (k != nTo) out.push_back(s);
    prev = s;
  }
  return true;
}

std::size_t RouteSearch::MemoryBytes() const {
  return (m_states.nSize + m_vertices.nSize) * (sizeof(double) + 2 * sizeof(std::uint32_t)) +
         m_queue.capacity() * sizeof(QueueItem);
}

}  // namespace vxroute
