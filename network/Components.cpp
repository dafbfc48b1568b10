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
  // rindex: 0 unvisited; visit numbers from 1 while open; component numbers
  // counting down from n - 1 once closed (always above every visit number).
  std::vector<std::uint32_t> rindex(n, 0);
  std::vector<bool> root(n, false);
  std::vector<State> stack;
  std::vector<Frame> frames;
  std::vector<State> arcs;  // the arcs not yet taken of the states on the walk
  std::uint32_t nIndex = 1;
  std::int64_t nComponent = std::int64_t{n} - 1;
  const auto begin = [&](State v) {
    rindex[v] = nIndex++;
    root[v] = true;
    frames.push_back({v, arcs.size()});
    g.ForEachTurn(v, TurnRule{}, [&](State w, double) { arcs.push_back(w); });
  };
  for (State s = 0; s < n; ++s) {
    if (rindex[s] != 0 || !g.IsDrivable(s)) continue;
    begin(s);
    while (!frames.empty()) {
      const State v = frames.back().v;
      if (arcs.size() > frames.back().nArcs) {
        const State w = arcs.back();
        arcs.pop_back();
        if (rindex[w] == 0) {
          begin(w);
        } else if (rindex[w] < rindex[v]) {
          rindex[v] = rindex[w];
          root[v] = false;
        }
        continue;
      }
      frames.pop_back();
      if (root[v]) {
        --nIndex;
        while (!stack.empty() && rindex[v] <= rindex[stack.back()]) {
          rindex[stack.back()] = static_cast<std::uint32_t>(nComponent);
          stack.pop_back();
          --nIndex;
        }
        rindex[v] = static_cast<std::uint32_t>(nComponent--);
      } else {
        stack.push_back(v);
      }
      if (!frames.empty() && rindex[v] < rindex[frames.back().v]) {
        rindex[frames.back().v] = rindex[v];
        root[frames.back().v] = false;
      }
    }
  }
  // Sizes by component number (n - 1 down to nComponent + 1); every
  // drivable state has one.
  std::vector<std::uint32_t> sizes(static_cast<std::size_t>(std::int64_t{n} - 1 - nComponent), 0);
  for (State s = 0; s < n; ++s) {
    if (g.IsDrivable(s)) ++sizes[n - 1 - rindex[s]];
  }
  const std::uint32_t nLargest = sizes.empty() ? 0 : *std::max_element(sizes.begin(), sizes.end());
  const std::uint32_t nLarge =
      std::max<std::uint32_t>(1, std::min(kLargeComponentStates, nLargest / 2));
  std::vector<std::uint8_t> reach(g.FeatureCount(), 0);
  for (State s = 0; s < n; ++s) {
    if (g.IsDrivable(s) && sizes[n - 1 - rindex[s]] >= nLarge)
      reach[g.FeatureOfState(s)] |=
          IsReversed(g.HalfEdgeOf(s)) ? kBackwardInLarge : kForwardInLarge;
  }
  return reach;
}

}  // namespace vxnet
