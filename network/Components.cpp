// Strongly connected components of the state graph (Pearce's one-array
// variant of Tarjan's algorithm, iterative), reduced to one flag per state:
// in a large component or not.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "network/Overlay.h"

namespace vxnet {
namespace {

// A place in the arcs out of a state, for walking them one at a time: the
// next leaving entry to look at, whether another way on was seen, whether
// turning back is possible (taken only when nothing else leaves).
struct Frame {
  State v;
  std::uint32_t nNext;
  bool bOther;
  bool bBack;
};

// The next arc out of f.v, or kNoCell when none is left.
State NextTurn(const StateGraph& g, Frame& f) {
  const std::span<const HalfEdge> leaving = g.Leaving(g.EndNode(f.v));
  while (f.nNext < leaving.size()) {
    const HalfEdge b = leaving[f.nNext++];
    if (!g.MayFollow(f.v, b, TurnRule{})) continue;
    if (b == (f.v ^ 1u)) {
      f.bBack = true;
      continue;
    }
    f.bOther = true;
    return b;
  }
  if (f.nNext == leaving.size() && f.bBack && !f.bOther) {
    ++f.nNext;
    return f.v ^ 1u;
  }
  return kNoCell;
}

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
  std::uint32_t nIndex = 1;
  std::int64_t nComponent = std::int64_t{n} - 1;
  const auto begin = [&](State v) {
    rindex[v] = nIndex++;
    root[v] = true;
    frames.push_back({v, 0, false, false});
  };
  for (State s = 0; s < n; ++s) {
    if (rindex[s] != 0 || !g.IsDrivable(s)) continue;
    begin(s);
    while (!frames.empty()) {
      const State v = frames.back().v;
      const State w = NextTurn(g, frames.back());
      if (w != kNoCell) {
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
      reach[FeatureOf(s)] |= IsReversed(s) ? kBackwardInLarge : kForwardInLarge;
  }
  return reach;
}

}  // namespace vxnet
