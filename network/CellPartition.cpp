// Recursive bisection of the network nodes by sweep cuts.
#include "network/CellPartition.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <utility>

#include "network/Overlay.h"

namespace vxnet {
namespace {

// A cut leaves at least this share of a range's nodes on either side.
constexpr double kMinShare = 0.25;

class Bisection {
 public:
  Bisection(const StateGraph& g, const std::vector<std::uint32_t>& levelNodes)
      : m_g(g),
        m_sizes(levelNodes),
        m_order(g.NodeCount()),
        m_rank(g.NodeCount()),
        m_mark(g.NodeCount(), 0),
        m_perLevel(levelNodes.size()) {
    for (std::uint32_t i = 0; i < m_order.size(); ++i) m_order[i] = i;
    // Map units as metres, near enough for choosing cuts.
    double dLat = 0.0;
    for (const Bin_LonLat& p : g.Net().nodes) dLat += p.lat;
    dLat = m_order.empty() ? 0.0 : dLat / static_cast<double>(m_order.size()) / 100000.0;
    m_dLonScale = std::cos(dLat * std::numbers::pi / 180.0);
  }

  CellPartition Run() {
    CellPartition p;
    p.nodeCells.assign(m_order.size(), 0);
    if (!m_order.empty())
      Cells(0, m_order.size(), static_cast<std::uint32_t>(m_sizes.size()), kNoCell, p);
    // Global numbers: level 1 first.
    std::vector<std::uint32_t> first(m_perLevel.size() + 1, 0);
    for (std::size_t l = 0; l < m_perLevel.size(); ++l) {
      first[l + 1] = first[l] + static_cast<std::uint32_t>(m_perLevel[l].size());
      p.cellEnd.push_back(first[l + 1]);
    }
    for (std::size_t l = 0; l < m_perLevel.size(); ++l) {
      for (const std::uint32_t nParent : m_perLevel[l])
        p.parents.push_back(nParent == kNoCell ? kNoCell : first[l + 1] + nParent);
    }
    p.nodes = std::move(m_order);
    p.cellNodes.push_back(static_cast<std::uint32_t>(p.nodes.size()));
    return p;
  }

 private:
  // Makes cells of level nLevel (1-based) of the nodes m_order[b, e), which
  // lie in cell nParent of the level above.
  void Cells(std::size_t b, std::size_t e, std::uint32_t nLevel, std::uint32_t nParent,
             CellPartition& p) {
    if (e - b > m_sizes[nLevel - 1] && e - b >= 2) {
      const std::size_t m = Bisect(b, e);
      Cells(b, m, nLevel, nParent, p);
      Cells(m, e, nLevel, nParent, p);
      return;
    }
    std::vector<std::uint32_t>& cells = m_perLevel[nLevel - 1];
    const auto id = static_cast<std::uint32_t>(cells.size());
    cells.push_back(nParent);
    if (nLevel > 1) {
      Cells(b, e, nLevel - 1, id, p);
      return;
    }
    for (std::size_t i = b; i < e; ++i) p.nodeCells[m_order[i]] = id;
    p.cellNodes.push_back(static_cast<std::uint32_t>(b));
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
  std::vector<std::uint32_t> m_order;
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

CellPartition PartitionNodes(const StateGraph& g, const std::vector<std::uint32_t>& levelNodes) {
  return Bisection(g, levelNodes).Run();
}

}  // namespace vxnet
