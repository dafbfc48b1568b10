// Turn-aware A* over half-edges. The cost of a half-edge state is the price
// of reaching its start node committed to drive it (turn penalties paid);
// the estimate is the straight-line lower bound from that node to the target
// at the network's highest speed, which never overstates the rest.
#include "route/RouteSearch.h"

#include <algorithm>
#include <functional>
#include <limits>
#include <new>

namespace vxroute {

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();
// Parent codes beyond every half-edge: a state entered from the start node,
// and the first states entered from the (partial) start legs 0 and 1.
constexpr std::uint32_t kRoot = 0xFFFFFFFFu;
constexpr std::uint32_t kGoalState = 0xFFFFFFFEu;
constexpr std::uint32_t kFirstVirtual = 0xFFFFFFF0u;
constexpr double kTurnDegrees = 45.0;

}  // namespace

RouteSearch::RouteSearch(const RouteGraph& graph) : m_graph(graph) {}

void RouteSearch::Allocate() {
  const std::size_t n = std::size_t{m_graph.FeatureCount()} * 2;
  // calloc leaves large blocks as untouched zero pages: a search maps only
  // the pages of the states it reaches.
  Array<std::uint32_t> stamp(static_cast<std::uint32_t*>(std::calloc(n, sizeof(std::uint32_t))));
  Array<double> cost(static_cast<double*>(std::malloc(n * sizeof(double))));
  Array<std::uint32_t> parent(static_cast<std::uint32_t*>(std::malloc(n * sizeof(std::uint32_t))));
  if (n > 0 && (!stamp || !cost || !parent)) throw std::bad_alloc();
  m_nStamp = std::move(stamp);
  m_dCost = std::move(cost);
  m_nParent = std::move(parent);
  m_nStates = n;
  m_nGeneration = 0;
}

double RouteSearch::FullCost(HalfEdge h) const {
  const std::uint32_t f = FeatureOf(h);
  return m_pCost->bShortest ? m_graph.Length(f) : m_graph.Length(f) / m_graph.SpeedOf(f);
}

double RouteSearch::Estimate(HalfEdge h) const {
  const Bin_LonLat& p = m_graph.NodePoint(m_graph.StartNode(h));
  const double dMetres = m_graph.LowerBoundMetres(p.lon, p.lat, m_pTarget->dX, m_pTarget->dY);
  return m_pCost->bShortest ? dMetres : dMetres / m_graph.MaxSpeed();
}

bool RouteSearch::IsTargetFeature(std::uint32_t nFeature) const {
  return !m_pTarget->bAtNode && nFeature == m_pTarget->nFeature;
}

void RouteSearch::Relax(HalfEdge h, double dCost, std::uint32_t nParent) {
  if (m_nStamp[h] == m_nGeneration && !(dCost < m_dCost[h])) {
    return;
  }
  m_nStamp[h] = m_nGeneration;
  m_dCost[h] = dCost;
  m_nParent[h] = nParent;
  m_queue.push_back({dCost + Estimate(h), dCost, h});
  std::push_heap(m_queue.begin(), m_queue.end(), std::greater<>{});
}

void RouteSearch::OfferGoal(double dCost, std::uint32_t nLast, bool bPartial, bool bDirect) {
  if (!(dCost < m_dGoal)) {
    return;
  }
  m_dGoal = dCost;
  m_nGoalLast = nLast;
  m_bGoalPartial = bPartial;
  m_bGoalDirect = bDirect;
  m_queue.push_back({dCost, dCost, kGoalState});
  std::push_heap(m_queue.begin(), m_queue.end(), std::greater<>{});
}

void RouteSearch::Expand(HalfEdge hArrived, double dArrive, std::uint32_t nParent) {
  const std::uint32_t v = m_graph.EndNode(hArrived);
  const std::uint32_t fFrom = FeatureOf(hArrived);
  const double dBearing = m_graph.EndBearing(hArrived);
  bool bOtherWay = false;
  bool bCanTurnBack = false;
  for (HalfEdge b : m_graph.Leaving(v)) {
    const std::uint32_t fTo = FeatureOf(b);
    if (!m_graph.IsUsable(fTo) || (IsBlocked(fTo) && !IsTargetFeature(fTo)) ||
        !m_graph.AllowsDirection(b) || m_graph.IsForbidden(fFrom, v, fTo)) {
      continue;
    }
    if (b == (hArrived ^ 1u)) {
      bCanTurnBack = true;
      continue;
    }
    bOtherWay = true;
    const double dTurn =
        BearingGap(dBearing, m_graph.StartBearing(b)) > kTurnDegrees ? m_pCost->dTurnPenalty : 0.0;
    Relax(b, dArrive + dTurn, nParent);
  }
  // Turning back onto the same feature only where the road ends.
  if (bCanTurnBack && !bOtherWay) {
    Relax(hArrived ^ 1u, dArrive + m_pCost->dUTurnPenalty, nParent);
  }
}

bool RouteSearch::Run(const SearchStart& start, const SearchTarget& target, const CostModel& cost,
                      const std::uint8_t* pBlocked, std::vector<RouteLeg>& legs) {
  legs.clear();
  if (m_nStates == 0) {
    Allocate();
  }
  m_pTarget = &target;
  m_pCost = &cost;
  m_pBlocked = pBlocked;
  m_dGoal = kInfinity;
  m_nSettled = 0;
  m_queue.clear();
  if (++m_nGeneration == 0) {
    std::fill(m_nStamp.get(), m_nStamp.get() + m_nStates, 0u);
    m_nGeneration = 1;
  }

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

  bool bFound = false;
  while (!m_queue.empty()) {
    std::pop_heap(m_queue.begin(), m_queue.end(), std::greater<>{});
    const QueueItem item = m_queue.back();
    m_queue.pop_back();
    if (item.nState == kGoalState) {
      if (item.dCost == m_dGoal) {
        bFound = true;
        break;
      }
      continue;
    }
    const HalfEdge h = item.nState;
    if (item.dCost > m_dCost[h]) {
      continue;  // a cheaper entry of this state came first
    }
    ++m_nSettled;
    if (IsTargetFeature(FeatureOf(h))) {
      OfferGoal(item.dCost + target.dPartial[IsReversed(h) ? 1 : 0], h, true, false);
    }
    if (IsBlocked(FeatureOf(h))) {
      continue;  // entered only to reach the target on it, never driven through
    }
    const double dArrive = item.dCost + FullCost(h);
    if (target.bAtNode && m_graph.EndNode(h) == target.nNode) {
      OfferGoal(dArrive, h, false, false);
    }
    Expand(h, dArrive, h);
  }
  if (!bFound) {
    return false;
  }

  // Walk back from the goal; parents form a tree, so the walk ends.
  const auto virtualLeg = [&](std::uint32_t nCode) { return start.legs[nCode - kFirstVirtual].h; };
  if (m_bGoalDirect) {
    legs.push_back({virtualLeg(m_nGoalLast), true, true});
    return true;
  }
  std::uint32_t nCur = m_nGoalLast;
  bool bToTarget = m_bGoalPartial;
  while (nCur < kFirstVirtual && legs.size() <= m_nStates) {
    legs.push_back({nCur, false, bToTarget});
    bToTarget = false;
    nCur = m_nParent[nCur];
  }
  if (nCur >= kFirstVirtual && nCur != kRoot) {
    legs.push_back({virtualLeg(nCur), true, bToTarget});
  }
  std::reverse(legs.begin(), legs.end());
  return true;
}

std::size_t RouteSearch::MemoryBytes() const {
  return m_nStates * (sizeof(double) + 2 * sizeof(std::uint32_t)) +
         m_queue.capacity() * sizeof(QueueItem);
}

}  // namespace vxroute
