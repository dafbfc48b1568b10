// Recursive bisection of the network nodes by sweep cuts.
#include "network/CellPartition.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <numbers>
#include <thread>
#include <utility>

#include "network/Overlay.h"

namespace vxnet {
namespace {

// A cut leaves at least this share of a range's nodes on either side.
constexpr double kMinShare = 0.25;

// The bisection of the nodes in order[b, e) and everything below it: the
// cells made, their parents, and the level-1 cell of each node. Two of
// them may cut disjoint ranges of the same order at once (their scratch
// arrays are their own; each writes only its range's places and nodes).
class Bisection {
 public:
  Bisection(const StateGraph& g, const std::vector<std::uint32_t>& levelNodes,
            std::vector<std::uint32_t>& order, std::vector<std::uint32_t>& nodeCells)
      : m_g(g),
        m_sizes(levelNodes),
        m_order(order),
        m_nodeCells(nodeCells),
        m_rank(g.NodeCount()),
        m_mark(g.NodeCount(), 0),
        m_perLevel(levelNodes.size()) {
    // Map units as metres, near enough for choosing cuts.
    double dLat = 0.0;
    for (const Bin_LonLat& p : g.Net().nodes) dLat += p.lat;
    dLat = m_order.empty() ? 0.0 : dLat / static_cast<double>(m_order.size()) / 100000.0;
    m_dLonScale = std::cos(dLat * std::numbers::pi / 180.0);
  }

  std::uint32_t TopLevel() const { return static_cast<std::uint32_t>(m_sizes.size()); }

  // Makes cells of level nLevel (1-based) of the nodes m_order[b, e), which
  // lie in cell nParent of the level above.
  void Cells(std::size_t b, std::size_t e, std::uint32_t nLevel, std::uint32_t nParent) {
    if (e - b > m_sizes[nLevel - 1] && e - b >= 2) {
      const std::size_t m = Bisect(b, e);
      Cells(b, m, nLevel, nParent);
      Cells(m, e, nLevel, nParent);
      return;
    }
    std::vector<std::uint32_t>& cells = m_perLevel[nLevel - 1];
    const auto id = static_cast<std::uint32_t>(cells.size());
    cells.push_back(nParent);
    if (nLevel > 1) {
      Cells(b, e, nLevel - 1, id);
      return;
    }
    for (std::size_t i = b; i < e; ++i) m_nodeCells[m_order[i]] = id;
    m_cellNodes.push_back(static_cast<std::uint32_t>(b));
  }

  // Appends the cells of other, made after this one's in the order of the
  // cut, renumbering them behind this one's on each level.
  void Append(const Bisection& other, std::size_t b, std::size_t e) {
    const std::size_t nLevels = m_perLevel.size();
    std::vector<std::uint32_t> offset(nLevels + 1, 0);
    for (std::size_t l = 0; l < nLevels; ++l)
      offset[l] = static_cast<std::uint32_t>(m_perLevel[l].size());
    for (std::size_t l = 0; l < nLevels; ++l) {
      for (const std::uint32_t nParent : other.m_perLevel[l])
        m_perLevel[l].push_back(nParent == kNoCell ? kNoCell : nParent + offset[l + 1]);
    }
    for (std::size_t i = b; i < e; ++i) m_nodeCells[m_order[i]] += offset[0];
    m_cellNodes.insert(m_cellNodes.end(), other.m_cellNodes.begin(), other.m_cellNodes.end());
  }

  // The cells made, numbered level by level, level 1 first.
  CellPartition Finish() {
    CellPartition p;
    std::vector<std::uint32_t> first(m_perLevel.size() + 1, 0);
    for (std::size_t l = 0; l < m_perLevel.size(); ++l) {
      first[l + 1] = first[l] + static_cast<std::uint32_t>(m_perLevel[l].size());
      p.cellEnd.push_back(first[l + 1]);
    }
    for (std::size_t l = 0; l < m_perLevel.size(); ++l) {
      for (const std::uint32_t nParent : m_perLevel[l])
        p.parents.push_back(nParent == kNoCell ? kNoCell : first[l + 1] + nParent);
    }
    p.nodeCells = std::move(m_nodeCells);
    p.nodes = std::move(m_order);
    p.cellNodes = std::move(m_cellNodes);
    p.cellNodes.push_back(static_cast<std::uint32_t>(p.nodes.size()));
    return p;
  }

  // Orders m_order[b, e) along the best of four sweeps and returns the cut.
  std::size_t Bisect(std::size_t b, std::size_t e) {
    const std::size_t n = e - b;
    if (n < 8) return b + n / 2;
    ++m_nStamp;
    for (std::size_t i = b; i < e; ++i) m_mark[m_order[i]] = m_nStamp;
    static constexpr double kDirs[4][2] = {{1, 0}, {0, 1}, {1, 1}, {1, -1}};
    const std::size_t lo =
        std::max<std::size_t>(1, static_cast<std::size_t>(static_cast<double>(n) * kMinShare));
    const std::size_t hi = std::min(n - 1, n - lo);
    double dBest = HUGE_VAL;
    int nBestDir = 0;
    std::size_t nBestCut = b + n / 2;
    for (int d = 0; d < 4; ++d) {
      Sort(b, e, kDirs[d]);
      CountCrossings(n);
      std::int64_t nCut = 0;
      for (std::size_t p = 1; p <= hi; ++p) {
        nCut += m_diff[p];
        if (p < lo) continue;
        // Features cut per balance: the ratio cut.
        const double dShare = static_cast<double>(p) * static_cast<double>(n - p);
        const double dScore = static_cast<double>(nCut) * static_cast<double>(n) / dShare;
        if (dScore < dBest) {
          dBest = dScore;
          nBestDir = d;
          nBestCut = b + p;
        }
      }
    }
    Sort(b, e, kDirs[nBestDir]);
    for (std::size_t i = 0; i < n; ++i) m_order[b + i] = m_keys[i].second;
    return nBestCut;
  }

 private:
  // m_diff: the usable features between the n sorted nodes of m_keys as a
  // difference array; its sum up to p counts those a cut after the first p
  // nodes crosses.
  void CountCrossings(std::size_t n) {
    m_diff.assign(n + 1, 0);
    for (std::size_t i = 0; i < n; ++i) {
      const std::uint32_t u = m_keys[i].second;
      for (const HalfEdge h : m_g.Leaving(u)) {
        if (!m_g.IsUsable(FeatureOf(h))) continue;
        const std::uint32_t v = m_g.EndNode(h);
        if (v == u || m_mark[v] != m_nStamp || m_rank[v] <= i) continue;
        ++m_diff[i + 1];
        --m_diff[m_rank[v] + 1];
      }
    }
  }

  // m_keys: the nodes of m_order[b, e) by their place along dir; m_rank the
  // place of each.
  void Sort(std::size_t b, std::size_t e, const double (&dir)[2]) {
    m_keys.resize(e - b);
    for (std::size_t i = b; i < e; ++i) {
      const Bin_LonLat& pt = m_g.NodePoint(m_order[i]);
      m_keys[i - b] = {dir[0] * pt.lon * m_dLonScale + dir[1] * pt.lat, m_order[i]};
    }
    std::sort(m_keys.begin(), m_keys.end());
    for (std::size_t i = 0; i < m_keys.size(); ++i)
      m_rank[m_keys[i].second] = static_cast<std::uint32_t>(i);
  }

  const StateGraph& m_g;
  std::vector<std::uint32_t> m_sizes;
  std::vector<std::uint32_t>& m_order;
  std::vector<std::uint32_t>& m_nodeCells;
  std::vector<std::uint32_t> m_cellNodes;  ///< per level-1 cell made, its first place in m_order
  std::vector<std::uint32_t> m_rank;
  std::vector<std::uint32_t> m_mark;
  std::uint32_t m_nStamp = 0;
  std::vector<std::pair<double, std::uint32_t>> m_keys;
  std::vector<std::int32_t> m_diff;
  std::vector<std::vector<std::uint32_t>>
      m_perLevel;  ///< per level, each cell's parent (level ids)
  double m_dLonScale = 1.0;
};

}  // namespace

CellPartition PartitionNodes(const StateGraph& g, const std::vector<std::uint32_t>& levelNodes,
                             unsigned nThreads, std::size_t nParallelNodes) {
  std::vector<std::uint32_t> order(g.NodeCount());
  for (std::uint32_t i = 0; i < order.size(); ++i) order[i] = i;
  std::vector<std::uint32_t> nodeCells(order.size(), 0);
  Bisection whole(g, levelNodes, order, nodeCells);
  const std::size_t n = order.size();
  const std::uint32_t nTop = whole.TopLevel();
  if (nThreads < 2 || n < nParallelNodes || nTop == 0 || n <= levelNodes[nTop - 1]) {
    if (n > 0) whole.Cells(0, n, nTop, kNoCell);
    return whole.Finish();
  }
  // The first cut, then its two sides at once: the same cells as one after
  // the other, numbered as they would be.
  const std::size_t m = whole.Bisect(0, n);
  Bisection east(g, levelNodes, order, nodeCells);
  std::exception_ptr failure;
  std::thread other([&] {
    try {
      east.Cells(m, n, nTop, kNoCell);
    } catch (...) {
      failure = std::current_exception();
    }
  });
  try {
    whole.Cells(0, m, nTop, kNoCell);
  } catch (...) {
    other.join();
    throw;
  }
  other.join();
  if (failure) std::rethrow_exception(failure);
  whole.Append(east, m, n);
  return whole.Finish();
}

}  // namespace vxnet
