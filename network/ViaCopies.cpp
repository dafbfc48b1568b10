// The copies of half-edges and their steps for the restrictions over via
// roads: a trie of the records' beginnings with failure links (Aho and
// Corasick), its transitions listed where they differ from the plain turn.
#include "network/ViaCopies.h"

#include <algorithm>
#include <stdexcept>
#include <unordered_map>
#include <vector>

#include "network/StateGraph.h"

namespace vxnet {
namespace {

std::uint64_t Key(State s, HalfEdge b) { return std::uint64_t{s} << 32 | b; }

class CopyBuilder {
 public:
  CopyBuilder(const NetworkView& net, GraphData& g)
      : m_net(net), m_g(g), m_graph(WithGraph(net, g)) {}

  void Build() {
    for (const ViaRestriction& r : m_net.viaRestrictions) AddRecord(r);
    // Breadth first: the half-edges that begin a record, then the copies by
    // depth; a state's failure state is shallower, so its steps are listed.
    std::sort(m_roots.begin(), m_roots.end());
    m_roots.erase(std::unique(m_roots.begin(), m_roots.end()), m_roots.end());
    std::vector<State> order = m_roots;
    for (std::uint32_t i = 0; i < m_g.copies.size(); ++i) order.push_back(m_nHalfEdges + i);
    std::stable_sort(order.begin(), order.end(),
                     [this](State a, State b) { return Depth(a) < Depth(b); });
    for (const State s : order) Transitions(s);
    std::sort(m_g.steps.begin(), m_g.steps.end(), [](const ViaStep& a, const ViaStep& b) {
      return a.nState != b.nState ? a.nState < b.nState : a.nTurn < b.nTurn;
    });
    for (const ViaStep& s : m_g.steps) {
      if (s.nState < m_nHalfEdges) m_g.flags[FeatureOf(s.nState)] |= kViaStart;
    }
  }

 private:
  static NetworkView WithGraph(NetworkView net, const GraphData& g) {
    net.graph = g.View();
    return net;
  }

  // The record's half-edges in driving order, or none when a route cannot
  // drive them: one out of range, a from or via half-edge not drivable, or a
  // gap between two. (A to that cannot be driven still bars the other exits
  // of an only record.)
  std::vector<HalfEdge> Sequence(const ViaRestriction& r) const {
    const std::span<const std::uint32_t> via = m_net.ViaOf(r);
    if (via.empty()) return {};
    std::vector<HalfEdge> seq{r.nFrom};
    seq.insert(seq.end(), via.begin(), via.end());
    seq.push_back(r.nTo);
    for (std::size_t i = 0; i < seq.size(); ++i) {
      if (seq[i] >= m_nHalfEdges || (i + 1 < seq.size() && !m_graph.IsDrivable(seq[i]))) return {};
      if (i > 0 && m_graph.StartNode(seq[i]) != m_graph.EndNode(seq[i - 1])) return {};
    }
    return seq;
  }

  // The trie state reached from s by b, made when missing.
  State Child(State s, HalfEdge b, std::size_t nDepth) {
    const auto [it, bNew] = m_child.try_emplace(Key(s, b), 0);
    if (bNew) {
      if (std::uint64_t{m_nHalfEdges} + m_g.copies.size() >= kMaxStates)
        throw std::length_error("too many copies of half-edges for the via restrictions");
      it->second = m_nHalfEdges + static_cast<State>(m_g.copies.size());
      m_g.copies.push_back(b);
      m_depth.push_back(static_cast<std::uint32_t>(nDepth));
      if (nDepth == 2) m_roots.push_back(s);
    }
    return it->second;
  }

  void AddRecord(const ViaRestriction& r) {
    const std::vector<HalfEdge> seq = Sequence(r);
    if (seq.empty()) return;
    State s = seq[0];
    for (std::size_t i = 1; i + 1 < seq.size(); ++i) s = Child(s, seq[i], i + 1);
    auto& end = m_ends[s];
    (r.nKind == kViaOnly ? end.allowed : end.barred).push_back(seq.back());
  }

  std::uint32_t Depth(State s) const { return s < m_nHalfEdges ? 1 : m_depth[s - m_nHalfEdges]; }

  // Where b leads from s, a state whose steps are already listed (or a
  // plain half-edge without any).
  State Listed(State s, HalfEdge b) const {
    const auto it = m_next.find(Key(s, b));
    return it != m_next.end() ? it->second : b;
  }

  // True when the records ending in s forbid b.
  bool BarredHere(State s, HalfEdge b) const {
    const auto it = m_ends.find(s);
    if (it == m_ends.end()) return false;
    const auto has = [b](const std::vector<HalfEdge>& v) {
      return std::find(v.begin(), v.end(), b) != v.end();
    };
    return has(it->second.barred) || (!it->second.allowed.empty() && !has(it->second.allowed));
  }

  // Lists the steps of s: per half-edge b a route may take after s's
  // half-edge, the trie's child, else what s's failure state does with b
  // (barred there is barred here too), barred when a record ends here. A
  // failure state ends with the same half-edge, so the same b may follow.
  void Transitions(State s) {
    const HalfEdge h = s < m_nHalfEdges ? s : m_g.copies[s - m_nHalfEdges];
    const State fail = s < m_nHalfEdges ? kNoState : m_fail.at(s);
    for (const HalfEdge b : m_graph.Leaving(m_graph.EndNode(h))) {
      // Where b leads from the failure state (from none: to b itself).
      const State viaFail = fail == kNoState ? b : Listed(fail, b);
      const auto child = m_child.find(Key(s, b));
      if (child != m_child.end()) {
        m_fail.insert({child->second, viaFail == kBarredStep ? b : viaFail});
      }
      if (!m_graph.MayFollow(h, b, TurnRule{})) continue;
      State next = child != m_child.end() ? child->second : viaFail;
      if (viaFail == kBarredStep || BarredHere(s, b)) next = kBarredStep;
      if (next != b) {
        m_next.insert({Key(s, b), next});
        m_g.steps.push_back({s, b, next});
      }
    }
  }

  static constexpr State kNoState = 0xFFFFFFFFu;
  struct Ends {
    std::vector<HalfEdge> barred;   // kViaNo records' to
    std::vector<HalfEdge> allowed;  // kViaOnly records' to
  };

  const NetworkView& m_net;
  GraphData& m_g;
  StateGraph m_graph;
  State m_nHalfEdges = static_cast<State>(2 * m_net.features.size());
  std::unordered_map<std::uint64_t, State> m_child;  // (state, half-edge) -> trie child
  std::unordered_map<std::uint64_t, State> m_next;   // listed steps
  std::unordered_map<State, Ends> m_ends;            // the records ending in a state
  std::unordered_map<State, State> m_fail;           // per copy, its failure state
  std::vector<std::uint32_t> m_depth;                // per copy, its depth in the trie
  std::vector<State> m_roots;                        // half-edges that begin a record
};

}  // namespace

void BuildViaCopies(const NetworkView& net, GraphData& g) { CopyBuilder(net, g).Build(); }

}  // namespace vxnet
