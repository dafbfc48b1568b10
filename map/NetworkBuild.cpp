// Building the road network from raw ways: cutting at junctions, numbering
// nodes, levels at the ends and forbidden turns (rules in OsmImport.h).
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <string>
#include <tuple>
#include <unordered_map>
#include <utility>

#include "map/OsmImport.h"

namespace vxmap {
namespace {

constexpr std::uint32_t kNoNode = UINT32_MAX;

struct NodeUse {
  std::uint32_t nUses = 0;
  bool bEnd = false;
  std::uint32_t nNet = kNoNode;
};

using NodeUseMap = std::unordered_map<std::int64_t, NodeUse>;

// Calls fn(first, last) for every run of located, distinct-in-a-row nodes of
// the way with at least two nodes (indices into way.refs, inclusive).
template <class Fn>
void ForEachRun(const RawWay& way, std::vector<std::uint32_t>& run, Fn&& fn) {
  run.clear();
  const auto flush = [&] {
    if (run.size() >= 2) fn(run);
    run.clear();
  };
  for (std::uint32_t i = 0; i < way.refs.size(); ++i) {
    const RawNodeRef& ref = way.refs[i];
    if (!ref.bLocated) {
      flush();
      continue;
    }
    if (!run.empty() && way.refs[run.back()].nNodeId == ref.nNodeId) continue;
    run.push_back(i);
  }
  flush();
}

bool SamePoint(const Bin_LonLat& a, const Bin_LonLat& b) {
  return a.lon == b.lon && a.lat == b.lat;
}

class Builder {
 public:
  Builder(const RawOsm& raw, RoadNetwork& net) : m_raw(raw), m_net(net) {}

  void Run() {
    m_net = RoadNetwork{};
    m_net.names.push_back("");
    CountUses();
    for (const RawWay& way : m_raw.ways) CutWay(way);
    JoinCollapsedNodes();
    SetLevels();
    MapRestrictions();
  }

 private:
  void CountUses() {
    std::vector<std::uint32_t> run;
    for (const RawWay& way : m_raw.ways) {
      ForEachRun(way, run, [&](const std::vector<std::uint32_t>& r) {
        for (std::uint32_t i : r) ++m_uses[way.refs[i].nNodeId].nUses;
        m_uses[way.refs[r.front()].nNodeId].bEnd = true;
        m_uses[way.refs[r.back()].nNodeId].bEnd = true;
      });
    }
  }

  void CutWay(const RawWay& way) {
    const std::uint32_t nFirstFeature = static_cast<std::uint32_t>(m_net.features.size());
    std::vector<std::uint32_t> run;
    ForEachRun(way, run, [&](const std::vector<std::uint32_t>& r) {
      std::size_t nStart = 0;
      for (std::size_t i = 1; i < r.size(); ++i) {
        const NodeUse& use = m_uses[way.refs[r[i]].nNodeId];
        if (i + 1 == r.size() || use.nUses >= 2 || use.bEnd) {
          AddFeature(way, r, nStart, i);
          nStart = i;
        }
      }
    });
    const std::uint32_t nEnd = static_cast<std::uint32_t>(m_net.features.size());
    if (nEnd > nFirstFeature)
      m_wayFeatures.emplace(way.nWayId, std::make_pair(nFirstFeature, nEnd));
  }

  void AddFeature(const RawWay& way, const std::vector<std::uint32_t>& r, std::size_t nFrom,
                  std::size_t nTo) {
    const std::size_t nFirstPoint = m_net.points.size();
    for (std::size_t i = nFrom; i <= nTo; ++i) {
      const Bin_LonLat& pt = way.refs[r[i]].pt;
      if (m_net.points.size() == nFirstPoint || !SamePoint(m_net.points.back(), pt))
        m_net.points.push_back(pt);
    }
    const std::size_t nCount = m_net.points.size() - nFirstPoint;
    if (nCount < 2) {  // no direction: passed over, its two ends become one node
      m_net.points.resize(nFirstPoint);
      Join(NetNode(way.refs[r[nFrom]]), NetNode(way.refs[r[nTo]]));
      return;
    }
    Feature f{};
    f.nWayId = static_cast<std::uint64_t>(way.nWayId);
    f.nFirstPoint = static_cast<std::uint32_t>(nFirstPoint);
    f.nPointCount = static_cast<std::uint32_t>(nCount);
    f.nFromNode = NetNode(way.refs[r[nFrom]]);
    f.nToNode = NetNode(way.refs[r[nTo]]);
    f.nName = NameIndex(way.sName);
    f.nOneWay = way.nOneWay;
    f.nRoadClass = way.nRoadClass;
    f.nMaxSpeed = way.nMaxSpeed;
    f.nLevelFirst = way.nLevel;  // replaced by the node level in SetLevels
    f.nLevelLast = way.nLevel;
    f.bRoutable = way.bRoutable;
    f.bRoundabout = way.bRoundabout;
    m_net.features.push_back(f);
  }

  std::uint32_t NetNode(const RawNodeRef& ref) {
    NodeUse& use = m_uses[ref.nNodeId];
    if (use.nNet == kNoNode) {
      use.nNet = static_cast<std::uint32_t>(m_net.nodes.size());
      m_net.nodes.push_back(ref.pt);
      m_parent.push_back(use.nNet);
    }
    return use.nNet;
  }

  std::uint32_t Root(std::uint32_t n) {
    while (m_parent[n] != n) n = m_parent[n] = m_parent[m_parent[n]];
    return n;
  }

  void Join(std::uint32_t a, std::uint32_t b) {
    a = Root(a);
    b = Root(b);
    if (a != b) m_parent[std::max(a, b)] = std::min(a, b);
  }

  // Renumbers the network nodes after joins in the order the features use
  // them; nodes that no feature uses are dropped.
  void JoinCollapsedNodes() {
    m_renumber.assign(m_parent.size(), kNoNode);
    std::vector<Bin_LonLat> nodes;
    const auto number = [&](std::uint32_t& n) {
      const std::uint32_t r = Root(n);
      if (m_renumber[r] == kNoNode) {
        m_renumber[r] = static_cast<std::uint32_t>(nodes.size());
        nodes.push_back(m_net.nodes[r]);
      }
      n = m_renumber[r];
    };
    for (Feature& f : m_net.features) {
      number(f.nFromNode);
      number(f.nToNode);
    }
    for (std::uint32_t n = 0; n < m_parent.size(); ++n) m_renumber[n] = m_renumber[Root(n)];
    m_net.nodes = std::move(nodes);
  }

  std::uint32_t NameIndex(const std::string& sName) {
    if (sName.empty()) return 0;
    const auto [it, bNew] = m_names.emplace(sName, static_cast<std::uint32_t>(m_net.names.size()));
    if (bNew) m_net.names.push_back(sName);
    return it->second;
  }

  void SetLevels() {
    std::vector<int> nodeLevel(m_net.nodes.size(), INT_MAX);
    const auto take = [&](std::uint32_t nNode, int nLevel) {
      int& cur = nodeLevel[nNode];
      if (cur == INT_MAX || std::abs(nLevel) < std::abs(cur) ||
          (std::abs(nLevel) == std::abs(cur) && nLevel < cur))
        cur = nLevel;
    };
    for (const Feature& f : m_net.features) {
      take(f.nFromNode, f.nLevelFirst);
      take(f.nToNode, f.nLevelLast);
    }
    for (Feature& f : m_net.features) {
      f.nLevelFirst = static_cast<std::int8_t>(nodeLevel[f.nFromNode]);
      f.nLevelLast = static_cast<std::int8_t>(nodeLevel[f.nToNode]);
    }
  }

  // Features of a way that have an end at network node nVia.
  std::vector<std::uint32_t> EndingAt(std::int64_t nWayId, std::uint32_t nVia) const {
    std::vector<std::uint32_t> out;
    const auto it = m_wayFeatures.find(nWayId);
    if (it == m_wayFeatures.end()) return out;
    for (std::uint32_t k = it->second.first; k < it->second.second; ++k) {
      const Feature& f = m_net.features[k];
      if (f.nFromNode == nVia || f.nToNode == nVia) out.push_back(k);
    }
    return out;
  }

  void MapRestrictions() {
    // Features ending at each node, for the only_* kinds.
    std::vector<std::uint32_t> start(m_net.nodes.size() + 1, 0);
    for (const Feature& f : m_net.features) {
      ++start[f.nFromNode + 1];
      if (f.nToNode != f.nFromNode) ++start[f.nToNode + 1];
    }
    for (std::size_t i = 1; i < start.size(); ++i) start[i] += start[i - 1];
    std::vector<std::uint32_t> atNode(start.back());
    std::vector<std::uint32_t> fill(start.begin(), start.end() - 1);
    for (std::uint32_t k = 0; k < m_net.features.size(); ++k) {
      const Feature& f = m_net.features[k];
      atNode[fill[f.nFromNode]++] = k;
      if (f.nToNode != f.nFromNode) atNode[fill[f.nToNode]++] = k;
    }

    for (const RawRestriction& rr : m_raw.restrictions) {
      const auto via = m_uses.find(rr.nViaNode);
      if (via == m_uses.end() || via->second.nNet == kNoNode) continue;
      const std::uint32_t nVia = m_renumber[via->second.nNet];
      if (nVia == kNoNode) continue;
      const std::vector<std::uint32_t> from = EndingAt(rr.nFromWay, nVia);
      const std::vector<std::uint32_t> to = EndingAt(rr.nToWay, nVia);
      if (from.empty() || to.empty()) continue;
      for (std::uint32_t nFrom : from) {
        if (!rr.bOnly) {
          for (std::uint32_t nTo : to) m_net.forbidden.push_back({nFrom, nVia, nTo});
          continue;
        }
        for (std::uint32_t i = start[nVia]; i < start[nVia + 1]; ++i) {
          if (std::find(to.begin(), to.end(), atNode[i]) == to.end())
            m_net.forbidden.push_back({nFrom, nVia, atNode[i]});
        }
      }
    }
    const auto key = [](const ForbiddenTurn& t) { return std::make_tuple(t.nFrom, t.nVia, t.nTo); };
    std::sort(m_net.forbidden.begin(), m_net.forbidden.end(),
              [&](const ForbiddenTurn& a, const ForbiddenTurn& b) { return key(a) < key(b); });
    m_net.forbidden.erase(std::unique(m_net.forbidden.begin(), m_net.forbidden.end(),
                                      [&](const ForbiddenTurn& a, const ForbiddenTurn& b) {
                                        return key(a) == key(b);
                                      }),
                          m_net.forbidden.end());
  }

  const RawOsm& m_raw;
  RoadNetwork& m_net;
  NodeUseMap m_uses;
  std::vector<std::uint32_t> m_parent;    ///< joined network nodes (union-find)
  std::vector<std::uint32_t> m_renumber;  ///< network node -> final node index
  std::unordered_map<std::string, std::uint32_t> m_names;
  std::unordered_map<std::int64_t, std::pair<std::uint32_t, std::uint32_t>> m_wayFeatures;
};

}  // namespace

bool BuildRoadNetwork(const RawOsm& raw, RoadNetwork& net, std::string& sError) {
  Builder builder{raw, net};
  builder.Run();
  if (net.features.empty()) {
    net = RoadNetwork{};
    sError = "no drivable road";
    return false;
  }
  net.points.shrink_to_fit();
  net.features.shrink_to_fit();
  net.nodes.shrink_to_fit();
  return true;
}

}  // namespace vxmap
