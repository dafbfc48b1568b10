// Strongly connected components of the state graph (Pearce's one-array
// variant of Tarjan's algorithm, iterative), reduced to one flag per state:
// in a large component or not.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "network/Overlay.h"

namespace vxnet {
namespace {

// A state on the depth-first walk and where its arcs not yet taken begin
// on the walk's arc stack.
struct Frame {
  State v;
  std::size_t nArcs;
};

// The strongly connected components of the drivable states of a graph,
// numbered by one walk over them all.
class ComponentWalk {
 public:
  explicit ComponentWalk(const StateGraph& g)
      : m_g(g), m_rindex(g.StateCount(), 0), m_root(g.StateCount(), false) {
    for (State s = 0; s < g.StateCount(); ++s) {
      if (m_rindex[s] == 0 && g.IsDrivable(s)) Walk(s);
    }
  }

  // The component of drivable state s, from 0 to ComponentCount() - 1.
  std::uint32_t Component(State s) const { return m_g.StateCount() - 1 - m_rindex[s]; }
  std::size_t ComponentCount() const {
    return static_cast<std::size_t>(std::int64_t{m_g.StateCount()} - 1 - m_nComponent);
  }

 private:
  // Opens v on the walk: its visit number and its arcs to take.
  void Begin(State v) {
    m_rindex[v] = m_nIndex++;
    m_root[v] = true;
    m_frames.push_back({v, m_arcs.size()});
    m_g.ForEachTurn(v, TurnRule{}, [&](State w, double) { m_arcs.push_back(w); });
  }

  // The depth-first walk from the unvisited state s, closing every component
  // it reaches.
  void Walk(State s) {
    Begin(s);
    while (!m_frames.empty()) {
      const State v = m_frames.back().v;
      if (m_arcs.size() == m_frames.back().nArcs) {
        Close(v);
        continue;
      }
      const State w = m_arcs.back();
      m_arcs.pop_back();
      if (m_rindex[w] == 0) {
        Begin(w);
      } else if (m_rindex[w] < m_rindex[v]) {
        m_rindex[v] = m_rindex[w];
        m_root[v] = false;
      }
    }
  }

  // Leaves v, whose arcs are all taken: numbers its component when v is its
  // root, else keeps v on the stack; hands its low number to its parent.
  void Close(State v) {
    m_frames.pop_back();
    if (m_root[v]) {
      --m_nIndex;
      while (!m_stack.empty() && m_rindex[v] <= m_rindex[m_stack.back()]) {
        m_rindex[m_stack.back()] = static_cast<std::uint32_t>(m_nComponent);
        m_stack.pop_back();
        --m_nIndex;
      }
      m_rindex[v] = static_cast<std::uint32_t>(m_nComponent--);
    } else {
      m_stack.push_back(v);
    }
    if (!m_frames.empty() && m_rindex[v] < m_rindex[m_frames.back().v]) {
      m_rindex[m_frames.back().v] = m_rindex[v];
      m_root[m_frames.back().v] = false;
    }
  }

  const StateGraph& m_g;
  // 0 unvisited; visit numbers from 1 while open; component numbers counting
  // down from StateCount() - 1 once closed (always above every visit number).
  std::vector<std::uint32_t> m_rindex;
  std::vector<bool> m_root;
  std::vector<State> m_stack;
  std::vector<Frame> m_frames;
  std::vector<State> m_arcs;  // the arcs not yet taken of the states on the walk
  std::uint32_t m_nIndex = 1;
  std::int64_t m_nComponent = std::int64_t{m_g.StateCount()} - 1;
};

}  // namespace

bool HasFewTurns(const StateGraph& g) {
  std::uint64_t nTurns = 0;
  for (std::uint32_t v = 0; v < g.NodeCount(); ++v) {
    const std::uint64_t d = g.Leaving(v).size();
    nTurns += d * d;
  }
  return nTurns <= kMaxTurnsPerState * g.StateCount() + (1u << 20);
}

std::vector<std::uint8_t> ComputeReach(const StateGraph& g) {
  const std::uint32_t n = g.StateCount();
  if (!HasFewTurns(g)) return {};
  const ComponentWalk walk(g);
  std::vector<std::uint32_t> sizes(walk.ComponentCount(), 0);
  for (State s = 0; s < n; ++s) {
    if (g.IsDrivable(s)) ++sizes[walk.Component(s)];
  }
  const std::uint32_t nLargest = sizes.empty() ? 0 : *std::max_element(sizes.begin(), sizes.end());
  const std::uint32_t nLarge =
      std::max<std::uint32_t>(1, std::min(kLargeComponentStates, nLargest / 2));
  std::vector<std::uint8_t> reach(g.FeatureCount(), 0);
  for (State s = 0; s < n; ++s) {
    if (g.IsDrivable(s) && sizes[walk.Component(s)] >= nLarge)
      reach[g.FeatureOfState(s)] |=
          IsReversed(g.HalfEdgeOf(s)) ? kBackwardInLarge : kForwardInLarge;
  }
  return reach;
}

}  // namespace vxnet
