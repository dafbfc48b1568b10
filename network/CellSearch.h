// The cheapest ways inside one overlay cell from one of its entries: at level
// 1 over the state graph's arcs between states that start in the cell, above
// over the cliques of its cells one level down. The overlay's build runs it
// to fill the cliques; the route engine runs it to unpack a clique arc into
// the states it stands for. The label store is the caller's (Labels below).
#ifndef VX_NETWORK_CELLSEARCH_H
#define VX_NETWORK_CELLSEARCH_H

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <vector>

#include "network/Overlay.h"
#include "network/StateGraph.h"

namespace vxnet {

/// Labels must offer: Clear() for a new search; Improve(key, cost, parent),
/// true when cost is below the key's label (which it then becomes); and
/// Cost(key), the label of a key Improve has set. Keys are states at level 1
/// and vertices above.
template <class Labels>
class CellSearch {
 public:
  /// Over graph g and overlay o, whose cliques below the searched level must
  /// be complete; arcs under rule, prices of metric m.
  CellSearch(const StateGraph& g, const OverlayView& o, const TurnRule& rule, Metric m,
             Labels& labels)
      : m_g(g), m_o(o), m_rule(rule), m_metric(m), m_labels(labels) {}

  /// Searches cell nCell of level nLevel from nEntry (an entry of it: a state
  /// at level 1, a vertex above), in the order of cost plus potential(key).
  /// Calls onExit(key, cost) for every exit of the cell it settles; stops
  /// when onExit returns true. potential must never overstate the price
  /// between two keys' differences (0 is always right).
  template <class Potential, class OnExit>
  void Run(std::uint32_t nLevel, std::uint32_t nCell, std::uint32_t nEntry, Potential&& potential,
           OnExit&& onExit) {
    m_labels.Clear();
    m_queue.clear();
    const auto relax = [&](std::uint32_t k, double dCost, std::uint32_t nParent) {
      if (m_labels.Improve(k, dCost, nParent)) {
        m_queue.push_back({dCost + potential(k), dCost, k});
        std::push_heap(m_queue.begin(), m_queue.end(), std::greater<>{});
      }
    };
    Expand(nLevel, nEntry, 0.0, relax);
    while (!m_queue.empty()) {
      std::pop_heap(m_queue.begin(), m_queue.end(), std::greater<>{});
      const Item item = m_queue.back();
      m_queue.pop_back();
      if (item.dCost > m_labels.Cost(item.nKey)) continue;
      const State s = nLevel == 1 ? item.nKey : m_o.StateOf(item.nKey);
      if (m_o.CellOf(m_g.EndNode(s), nLevel) != nCell) {
        if (onExit(item.nKey, item.dCost)) return;
        continue;
      }
      Expand(nLevel, item.nKey, item.dCost, relax);
    }
  }

 private:
  struct Item {
    double dKey;
    double dCost;
    std::uint32_t nKey;
    bool operator>(const Item& o) const { return dKey > o.dKey; }
  };

  // The arcs out of key k (reached at dCost): the state graph's at level 1,
  // the clique of k's cell one level down above.
  template <class Relax>
  void Expand(std::uint32_t nLevel, std::uint32_t k, double dCost, Relax& relax) {
    if (nLevel == 1) {
      const double dArrive = dCost + m_g.Cost(k, m_metric);
      m_g.ForEachTurn(k, m_rule,
                      [&](State b, double dPenalty) { relax(b, dArrive + dPenalty, k); });
      return;
    }
    const std::uint32_t c = m_o.CellOf(m_g.EndNode(m_o.StateOf(k)), nLevel - 1);
    const std::span<const std::uint32_t> exits = m_o.ExitsOf(c);
    const std::span<const float> row = m_o.Row(c, m_o.EntryRow(c, k), m_metric);
    for (std::size_t j = 0; j < row.size() && j < exits.size(); ++j) {
      if (row[j] >= 0.0f && std::isfinite(row[j]) && m_o.StateOf(exits[j]) != kNoCell)
        relax(exits[j], dCost + row[j], k);
    }
  }

  const StateGraph& m_g;
  const OverlayView& m_o;
  TurnRule m_rule;
  Metric m_metric;
  Labels& m_labels;
  std::vector<Item> m_queue;
};

}  // namespace vxnet

#endif
