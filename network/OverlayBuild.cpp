// Building the overlay: the cells, the cut states, each cell's entries and
// exits, and the cliques level by level on several threads.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <exception>
#include <limits>
#include <mutex>
#include <string>
#include <thread>
#include <tuple>

#include "network/CellPartition.h"
#include "network/CellSearch.h"
#include "network/CountingTable.h"
#include "network/Overlay.h"

namespace vxnet {
namespace {

// Cliques larger than this many weights per state (many features between the
// same two nodes make cells with thousands of entries and exits) are not
// built: such a network is searched without an overlay.
constexpr std::uint64_t kMaxWeightsPerState = 64;

// The nodes of a cell on each level, ascending; no level whose cells would
// hold every node.
std::vector<std::uint32_t> LevelSizes(std::uint32_t nNodes, const OverlayOptions& o) {
  std::uint64_t u = o.nCellNodes;
  if (u == 0) {
    u = 16;
    while (u < 512 && u * 2 * 8192 <= nNodes) u *= 2;
  }
  std::vector<std::uint32_t> sizes;
  for (std::uint32_t l = 0; l < std::min(o.nLevels, kMaxOverlayLevels) && u < nNodes; ++l) {
    sizes.push_back(static_cast<std::uint32_t>(u));
    u <<= std::min(o.nFanoutBits, 8u);
  }
  return sizes;
}

// The build searches' labels: a slot per key (pSlot maps keys to slots, or
// the key is the slot), valid where stamped with the search's generation.
struct SlotLabels {
  const std::uint32_t* pSlot = nullptr;
  std::vector<double> cost;
  std::vector<std::uint32_t> stamp;
  std::uint32_t nGeneration = 0;

  explicit SlotLabels(std::size_t nSlots, const std::uint32_t* pMap = nullptr)
      : pSlot(pMap), cost(nSlots), stamp(nSlots, 0) {}
  void Clear() {
    if (++nGeneration == 0) {
      std::fill(stamp.begin(), stamp.end(), 0u);
      nGeneration = 1;
    }
  }
  std::uint32_t Slot(std::uint32_t k) const { return pSlot != nullptr ? pSlot[k] : k; }
  bool Improve(std::uint32_t k, double dCost, std::uint32_t) {
    const std::uint32_t s = Slot(k);
    if (stamp[s] == nGeneration && !(dCost < cost[s])) return false;
    stamp[s] = nGeneration;
    cost[s] = dCost;
    return true;
  }
  double Cost(std::uint32_t k) const { return cost[Slot(k)]; }
};

class OverlayBuilder {
 public:
  OverlayBuilder(const StateGraph& g, const OverlayOptions& options) : m_g(g), m_options(options) {}

  OverlayData Build() {
    Step("components");
    m_o.reach = ComputeReach(m_g);
    const std::vector<std::uint32_t> sizes = LevelSizes(m_g.NodeCount(), m_options);
    if (sizes.empty() || m_g.StateCount() == 0 || !HasFewTurns(m_g)) return std::move(m_o);
    Step("cells");
    CellPartition p = PartitionNodes(m_g, sizes, m_options.nThreads);
    OverlayInfo& info = m_o.info;
    info.nLevels = static_cast<std::uint32_t>(sizes.size());
    info.nStates = m_g.StateCount();
    info.dTurnPenalty = m_options.dTurnPenalty;
    info.dUTurnPenalty = m_options.dUTurnPenalty;
    std::copy(p.cellEnd.begin(), p.cellEnd.end(), info.nCellEnd);
    m_o.nodeCells = std::move(p.nodeCells);
    m_o.parents = std::move(p.parents);
    Vertices();
    if (!CellLists()) {
      OverlayData none;
      none.reach = std::move(m_o.reach);
      return none;
    }
    m_view = m_o.View();
    SlotMap(p);
    for (std::uint32_t l = 1; l <= info.nLevels; ++l) {
      Step("cliques of level " + std::to_string(l) + " of " + std::to_string(info.nLevels));
      Customize(l);
    }
    return std::move(m_o);
  }

 private:
  void Step(const std::string& sName) const {
    if (m_options.progress) m_options.progress(sName);
  }
  std::uint32_t CellOf(std::uint32_t nNode, std::uint32_t nLevel) const {
    std::uint32_t c = m_o.nodeCells[nNode];
    for (std::uint32_t l = 1; l < nLevel; ++l) c = m_o.parents[c];
    return c;
  }
  // The levels at which state s is cut.
  std::uint32_t CutLevel(State s) const {
    const std::uint32_t a = m_g.StartNode(s), b = m_g.EndNode(s);
    std::uint32_t l = 0;
    while (l < m_o.info.nLevels && CellOf(a, l + 1) != CellOf(b, l + 1)) ++l;
    return l;
  }

  // The cut states, highest level first, then by the cell they start in.
  void Vertices() {
    std::vector<std::tuple<std::uint32_t, std::uint32_t, State>> cut;
    for (State s = 0; s < m_g.StateCount(); ++s) {
      if (!m_g.IsDrivable(s)) continue;
      const std::uint32_t l = CutLevel(s);
      if (l > 0) cut.emplace_back(kMaxOverlayLevels - l, m_o.nodeCells[m_g.StartNode(s)], s);
    }
    std::sort(cut.begin(), cut.end());
    m_o.vertexState.reserve(cut.size());
    for (std::uint32_t l = 0; l < m_o.info.nLevels; ++l) m_o.info.nVertexEnd[l] = 0;
    m_o.vertexPoints.reserve(cut.size());
    for (const auto& [nKey, nCell, s] : cut) {
      const std::uint32_t l = kMaxOverlayLevels - nKey;
      for (std::uint32_t k = 0; k < l; ++k) ++m_o.info.nVertexEnd[k];
      m_o.vertexState.push_back(s);
      m_o.vertexPoints.push_back(m_g.NodePoint(m_g.StartNode(s)));
    }
    m_o.info.nVertices = static_cast<std::uint32_t>(cut.size());
    m_o.byState.resize(cut.size());
    for (std::uint32_t v = 0; v < cut.size(); ++v) m_o.byState[v] = v;
    std::sort(m_o.byState.begin(), m_o.byState.end(), [&](std::uint32_t a, std::uint32_t b) {
      return m_o.vertexState[a] < m_o.vertexState[b];
    });
  }

  // Each cell's entries and exits, and the place of its clique; false when
  // the cliques would be too large.
  bool CellLists() {
    const std::uint32_t nCells = m_o.info.nCellEnd[m_o.info.nLevels - 1];
    std::vector<std::uint32_t> entryStart, exitStart;
    const auto each = [&](bool bEntries) {
      return [&, bEntries](auto&& emit) {
        for (std::uint32_t v = 0; v < m_o.vertexState.size(); ++v) {
          const State s = m_o.vertexState[v];
          const std::uint32_t nNode = bEntries ? m_g.EndNode(s) : m_g.StartNode(s);
          for (std::uint32_t l = 1; l <= m_o.info.nLevels && v < m_o.info.nVertexEnd[l - 1]; ++l)
            emit(CellOf(nNode, l), v);
        }
      };
    };
    BuildCountingTable(nCells, each(true), entryStart, m_o.entries);
    BuildCountingTable(nCells, each(false), exitStart, m_o.exits);
    m_o.cells.resize(nCells);
    std::uint64_t nWeights = 0;
    for (std::uint32_t c = 0; c < nCells; ++c) {
      OverlayCell& cell = m_o.cells[c];
      cell = {entryStart[c], entryStart[c + 1] - entryStart[c], exitStart[c],
              exitStart[c + 1] - exitStart[c], nWeights};
      nWeights += std::uint64_t{cell.nEntryCount} * cell.nExitCount;
    }
    if (nWeights > kMaxWeightsPerState * m_g.StateCount() + (1u << 20)) return false;
    for (std::vector<float>& w : m_o.weights)
      w.assign(nWeights, std::numeric_limits<float>::infinity());
    return true;
  }

  // Level-1 slots: the states that start in a cell, numbered from 0 per cell
  // (the half-edges node by node, then the copies).
  void SlotMap(const CellPartition& p) {
    m_slot.assign(m_g.StateCount(), 0);
    const std::size_t nCells = p.cellNodes.empty() ? 0 : p.cellNodes.size() - 1;
    std::vector<std::uint32_t> used(nCells, 0);
    for (std::size_t c = 0; c < nCells; ++c) {
      for (std::uint32_t i = p.cellNodes[c]; i < p.cellNodes[c + 1]; ++i) {
        for (const HalfEdge h : m_g.Leaving(p.nodes[i])) {
          if (h < m_slot.size()) m_slot[h] = used[c]++;
        }
      }
    }
    for (State s = 2 * m_g.FeatureCount(); s < m_g.StateCount(); ++s) {
      const std::uint32_t c = m_o.nodeCells[m_g.StartNode(s)];
      if (c < nCells) m_slot[s] = used[c]++;
    }
    m_nMaxSlots = used.empty() ? 0 : *std::max_element(used.begin(), used.end());
  }

  // The cliques of every cell of level nLevel.
  void Customize(std::uint32_t nLevel) {
    const std::uint32_t nFirst = nLevel >= 2 ? m_o.info.nCellEnd[nLevel - 2] : 0;
    const std::uint32_t nEnd = m_o.info.nCellEnd[nLevel - 1];
    std::atomic<std::uint32_t> next{nFirst};
    std::exception_ptr failure;
    std::mutex failureMutex;
    const auto work = [&] {
      try {
        SlotLabels labels(nLevel == 1 ? m_nMaxSlots : m_o.vertexState.size(),
                          nLevel == 1 ? m_slot.data() : nullptr);
        for (std::uint32_t c; (c = next++) < nEnd;) Clique(nLevel, c, labels);
      } catch (...) {
        const std::lock_guard<std::mutex> lock(failureMutex);
        failure = std::current_exception();
      }
    };
    std::vector<std::thread> others;
    for (unsigned t = 1; t < std::max(1u, m_options.nThreads); ++t) others.emplace_back(work);
    work();
    for (std::thread& t : others) t.join();
    if (failure) std::rethrow_exception(failure);
    if (nLevel == 1) std::vector<std::uint32_t>().swap(m_slot);
  }

  void Clique(std::uint32_t nLevel, std::uint32_t c, SlotLabels& labels) {
    const OverlayCell& cell = m_o.cells[c];
    const std::span<const std::uint32_t> exits = m_view.ExitsOf(c);
    const TurnRule rule{nullptr, 0xFFFFFFFFu, m_o.info.dTurnPenalty, m_o.info.dUTurnPenalty};
    for (int m = 0; m < kMetricCount; ++m) {
      CellSearch<SlotLabels> search(m_g, m_view, rule, static_cast<Metric>(m), labels);
      float* pWeights = m_o.weights[m].data() + cell.nFirstWeight;
      for (std::uint32_t r = 0; r < cell.nEntryCount; ++r) {
        const std::uint32_t e = m_o.entries[cell.nFirstEntry + r];
        float* pRow = pWeights + std::uint64_t{r} * cell.nExitCount;
        std::uint32_t nFound = 0;
        search.Run(
            nLevel, c, nLevel == 1 ? m_o.vertexState[e] : e, [](std::uint32_t) { return 0.0; },
            [&](std::uint32_t k, double dCost) {
              const std::uint32_t x = nLevel == 1 ? m_view.VertexOf(k) : k;
              const auto it = std::lower_bound(exits.begin(), exits.end(), x);
              if (it != exits.end() && *it == x) {
                pRow[it - exits.begin()] = static_cast<float>(dCost);
                ++nFound;
              }
              return nFound == exits.size();
            });
      }
    }
  }

  const StateGraph& m_g;
  OverlayOptions m_options;
  OverlayData m_o;
  OverlayView m_view;
  std::vector<std::uint32_t> m_slot;
  std::uint32_t m_nMaxSlots = 0;
};

}  // namespace

OverlayData BuildOverlay(const StateGraph& g, const OverlayOptions& options) {
  return OverlayBuilder(g, options).Build();
}

}  // namespace vxnet
