// Building the road network from raw ways: cutting at junctions, numbering
// nodes, levels at the ends, then the restrictions mapped (RestrictionBuild.h;
// rules in OsmImport.h).
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <string>
#include <utility>

#include "map/OsmImport.h"
#include "map/RestrictionBuild.h"

namespace vxmap {
namespace {

using vxnet::Feature;

constexpr std::uint32_t kNoNode = UINT32_MAX;
// Use bits per raw node: the count of uses, saturating at 2, and an end mark.
constexpr std::uint8_t kUseMask = 3;
constexpr std::uint8_t kEnd = 4;

bool Located(const Bin_LonLat& p) { return p.lon != kNoLocation.lon || p.lat != kNoLocation.lat; }

bool SamePoint(const Bin_LonLat& a, const Bin_LonLat& b) {
  return a.lon == b.lon && a.lat == b.lat;
}

class Builder {
 public:
  Builder(RawOsm& raw, vxnet::RoadNetwork& net) : m_raw(raw), m_net(net) {}

  void Run() {
    m_net = vxnet::RoadNetwork{};
    m_net.names = std::move(m_raw.names);
    m_raw.names = vxnet::NameTable{};
    m_use.assign(m_raw.nodeIds.size(), 0);
    m_nNet.assign(m_raw.nodeIds.size(), kNoNode);
    // The restrictions' via nodes as raw node indices; then the ids can go.
    for (const RawRestriction& rr : m_raw.restrictions) {
      m_via.push_back(rr.bViaNode
                          ? RawIndexOf(m_raw.restrictionMembers[rr.nFirstMember + rr.nFromCount])
                          : kNoNode);
    }
    m_raw.nodeIds = {};
    CountUses();
    ReserveOutput();
    for (const RawWay& way : m_raw.ways) CutWay(way);
    // The ways' nodes are not needed any more: their memory goes back.
    m_raw.ways = {};
    m_raw.refs = {};
    m_raw.nodePoints = {};
    m_use = {};
    std::stable_sort(m_wayFeatures.begin(), m_wayFeatures.end());
    JoinCollapsedNodes();
    SetLevels();
    for (std::uint32_t& n : m_via) n = NetNodeOf(n);
    MapRestrictions(m_raw, m_via, m_wayFeatures, m_net);
  }

 private:
  // Calls fn(run) for every run of located, distinct-in-a-row nodes of the
  // way with at least two nodes (raw node indices).
  template <class Fn>
  void ForEachRun(const RawWay& way, Fn&& fn) {
    m_run.clear();
    const auto flush = [&] {
      if (m_run.size() >= 2) fn(m_run);
      m_run.clear();
    };
    for (std::uint32_t i = 0; i < way.nRefCount; ++i) {
      const std::uint32_t n = m_raw.refs[way.nFirstRef + i];
      if (!Located(m_raw.nodePoints[n])) {
        flush();
        continue;
      }
      if (!m_run.empty() && m_run.back() == n) continue;
      m_run.push_back(n);
    }
    flush();
  }

  void CountUses() {
    for (const RawWay& way : m_raw.ways) {
      ForEachRun(way, [&](const std::vector<std::uint32_t>& r) {
        for (std::uint32_t n : r) {
          if ((m_use[n] & kUseMask) < 2) ++m_use[n];
        }
        m_use[r.front()] |= kEnd;
        m_use[r.back()] |= kEnd;
      });
    }
  }

  // True when node i of run r ends a feature: the run's last node, a node
  // used twice or more, or the end of another run.
  bool EndsFeature(const std::vector<std::uint32_t>& r, std::size_t i) const {
    const std::uint8_t use = m_use[r[i]];
    return i + 1 == r.size() || (use & kUseMask) >= 2 || (use & kEnd) != 0;
  }

  // Reserves the network's arrays for the most features and points the
  // ways can give (hardly more than they get), so that they never grow by
  // copying, which would double their memory for a moment on a large map.
  void ReserveOutput() {
    std::size_t nFeatures = 0, nPoints = 0;
    for (const RawWay& way : m_raw.ways) {
      ForEachRun(way, [&](const std::vector<std::uint32_t>& r) {
        for (std::size_t i = 1; i < r.size(); ++i) {
          if (EndsFeature(r, i)) ++nFeatures;
        }
        nPoints += r.size();
      });
    }
    m_net.features.reserve(nFeatures);
    m_net.wayIds.reserve(nFeatures);
    m_net.points.reserve(nPoints + nFeatures);
  }

  void CutWay(const RawWay& way) {
    const std::uint32_t nFirstFeature = static_cast<std::uint32_t>(m_net.features.size());
    ForEachRun(way, [&](const std::vector<std::uint32_t>& r) {
      std::size_t nStart = 0;
      for (std::size_t i = 1; i < r.size(); ++i) {
        if (EndsFeature(r, i)) {
          AddFeature(way, r, nStart, i);
          nStart = i;
        }
      }
    });
    const std::uint32_t nEnd = static_cast<std::uint32_t>(m_net.features.size());
    if (nEnd > nFirstFeature) m_wayFeatures.push_back({way.nWayId, nFirstFeature, nEnd});
  }

  void AddFeature(const RawWay& way, const std::vector<std::uint32_t>& r, std::size_t nFrom,
                  std::size_t nTo) {
    const std::size_t nFirstPoint = m_net.points.size();
    for (std::size_t i = nFrom; i <= nTo; ++i) {
      const Bin_LonLat& pt = m_raw.nodePoints[r[i]];
      if (m_net.points.size() == nFirstPoint || !SamePoint(m_net.points.back(), pt))
        m_net.points.push_back(pt);
    }
    const std::size_t nCount = m_net.points.size() - nFirstPoint;
    if (nCount < 2) {  // no direction: passed over, its two ends become one node
      m_net.points.resize(nFirstPoint);
      Join(NetNode(r[nFrom]), NetNode(r[nTo]));
      return;
    }
    Feature f{};
    f.nFirstPoint = static_cast<std::uint32_t>(nFirstPoint);
    f.nPointCount = static_cast<std::uint32_t>(nCount);
    f.nFromNode = NetNode(r[nFrom]);
    f.nToNode = NetNode(r[nTo]);
    f.nName = way.nName;
    f.nOneWay = way.nOneWay;
    f.nRoadClass = way.nRoadClass;
    f.nMaxSpeed = way.nMaxSpeed;
    f.nLevelFirst = way.nLevel;  // replaced by the node level in SetLevels
    f.nLevelLast = way.nLevel;
    f.nFlags = static_cast<std::uint8_t>((way.bRoutable ? vxnet::kRoutable : 0) |
                                         (way.bRoundabout ? vxnet::kRoundabout : 0));
    m_net.features.push_back(f);
    m_net.wayIds.push_back(static_cast<std::uint64_t>(way.nWayId));
  }

  std::uint32_t NetNode(std::uint32_t nRaw) {
    std::uint32_t& nNet = m_nNet[nRaw];
    if (nNet == kNoNode) {
      nNet = static_cast<std::uint32_t>(m_net.nodes.size());
      m_net.nodes.push_back(m_raw.nodePoints[nRaw]);
      m_parent.push_back(nNet);
    }
    return nNet;
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
    nodes.reserve(m_parent.size());
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

  // The raw node index of a node id; kNoNode when no drivable way uses it.
  std::uint32_t RawIndexOf(std::int64_t nId) const {
    const auto it = std::lower_bound(m_raw.nodeIds.begin(), m_raw.nodeIds.end(), nId);
    if (it == m_raw.nodeIds.end() || *it != nId) return kNoNode;
    return static_cast<std::uint32_t>(it - m_raw.nodeIds.begin());
  }

  // The network node of a raw node index; kNoNode when no feature uses it.
  std::uint32_t NetNodeOf(std::uint32_t nRaw) const {
    if (nRaw == kNoNode || m_nNet[nRaw] == kNoNode) return kNoNode;
    return m_renumber[m_nNet[nRaw]];
  }

  RawOsm& m_raw;
  vxnet::RoadNetwork& m_net;
  std::vector<std::uint8_t> m_use;    ///< per raw node: kUseMask, kEnd
  std::vector<std::uint32_t> m_nNet;  ///< per raw node: network node before joins
  std::vector<std::uint32_t> m_run;
  std::vector<std::uint32_t> m_parent;    ///< joined network nodes (union-find)
  std::vector<std::uint32_t> m_renumber;  ///< network node -> final node index
  std::vector<WayFeatures> m_wayFeatures;
  /// Per restriction: its via node's raw index, then its network node.
  std::vector<std::uint32_t> m_via;
};

}  // namespace

bool BuildRoadNetwork(RawOsm& raw, vxnet::RoadNetwork& net, std::string& sError) {
  Builder builder{raw, net};
  builder.Run();
  if (net.features.empty()) {
    net = vxnet::RoadNetwork{};
    sError = "no drivable road";
    return false;
  }
  return true;
}

}  // namespace vxmap
