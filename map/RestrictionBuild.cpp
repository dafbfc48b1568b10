// Mapping turn restrictions onto the network: the members' features at the
// via node or along the via ways, the leg told by the turn angle, forbidden
// turns and via restrictions sorted and kept once.
#include "map/RestrictionBuild.h"

#include <algorithm>
#include <cmath>
#include <tuple>
#include <vector>

#include "network/CountingTable.h"
#include "network/RoadGeometry.h"
#include "network/RouteGraphData.h"

namespace vxmap {
namespace {

using vxnet::Feature;
using vxnet::HalfEdge;

// A way through a restriction's via members: the node it enters them at, the
// node it leaves them at and the via half-edges in between (none for a via
// node, where the two nodes are one).
struct Chain {
  std::uint32_t nEnter, nLeave;
  std::vector<HalfEdge> via;
};

// A sequence a restriction can name: arrival, chain, departure.
struct Candidate {
  HalfEdge nArrive;
  std::size_t nChain;
  HalfEdge nDepart;
};

// A via restriction before the records are laid out.
struct PendingVia {
  HalfEdge nFrom;
  std::vector<HalfEdge> via;
  HalfEdge nTo;
  std::uint8_t nKind;
  auto Key() const { return std::tie(nFrom, via, nTo, nKind); }
};

class Mapper {
 public:
  Mapper(RawOsm& raw, std::span<const std::uint32_t> viaNodes, std::span<const WayFeatures> ways,
         vxnet::RoadNetwork& net)
      : m_raw(raw), m_viaNodes(viaNodes), m_ways(ways), m_net(net) {}

  void Run() {
    m_net.forbidden.clear();
    for (std::size_t i = 0; i < m_raw.restrictions.size(); ++i) {
      const RestrictionFate fate = MapOne(i);
      m_raw.restrictionStats.Add(fate);
      if (fate == RestrictionFate::kApplied && !m_raw.restrictions[i].bViaNode)
        ++m_raw.restrictionStats.nAppliedViaWays;
    }
    const auto key = [](const vxnet::ForbiddenTurn& t) {
      return std::make_tuple(t.nFrom, t.nVia, t.nTo);
    };
    std::vector<vxnet::ForbiddenTurn>& turns = m_net.forbidden;
    std::sort(turns.begin(), turns.end(),
              [&](const auto& a, const auto& b) { return key(a) < key(b); });
    turns.erase(std::unique(turns.begin(), turns.end(),
                            [&](const auto& a, const auto& b) { return key(a) == key(b); }),
                turns.end());
    LayOutVia();
  }

 private:
  const Feature& FeatureOf(HalfEdge h) const { return m_net.features[vxnet::FeatureOf(h)]; }
  std::uint32_t StartNode(HalfEdge h) const {
    return vxnet::IsReversed(h) ? FeatureOf(h).nToNode : FeatureOf(h).nFromNode;
  }
  std::uint32_t EndNode(HalfEdge h) const {
    return vxnet::IsReversed(h) ? FeatureOf(h).nFromNode : FeatureOf(h).nToNode;
  }
  static bool Drivable(const Feature& f, bool bReversed) {
    return bReversed ? f.nOneWay <= 0 : f.nOneWay >= 0;
  }

  // Bearing of the half-edge's first or last step, degrees counterclockwise
  // from east on the plane of raw coordinates.
  double Bearing(HalfEdge h, bool bLast) const {
    const std::span<const Bin_LonLat> p = m_net.View().PointsOf(FeatureOf(h));
    const std::size_t n = p.size();
    // Driven backwards, the last step is the first one reversed, and so on.
    const bool bAtEnd = bLast != vxnet::IsReversed(h);
    const Bin_LonLat& a = bAtEnd ? p[n - 2] : p[0];
    const Bin_LonLat& b = bAtEnd ? p[n - 1] : p[1];
    return vxnet::IsReversed(h) ? vxnet::BearingOf(b.lon, b.lat, a.lon, a.lat)
                                : vxnet::BearingOf(a.lon, a.lat, b.lon, b.lat);
  }

  // The turn from arriving on a to departing on b, degrees counterclockwise
  // in [0, 360): 0 straight on, 90 left, 180 back, 270 right.
  double TurnAngle(HalfEdge a, HalfEdge b) const {
    const double d = std::fmod(Bearing(b, false) - Bearing(a, true) + 720.0, 360.0);
    return d >= 360.0 ? 0.0 : d;
  }

  // The features of way nWayId; empty when no drivable feature was cut from it.
  std::span<const Feature> WayRange(std::int64_t nWayId, std::uint32_t& nFirst) const {
    const auto it = std::lower_bound(m_ways.begin(), m_ways.end(), WayFeatures{nWayId, 0, 0});
    if (it == m_ways.end() || it->nWayId != nWayId) return {};
    nFirst = it->nFirst;
    return std::span<const Feature>(m_net.features).subspan(it->nFirst, it->nEnd - it->nFirst);
  }

  // The half-edges of a way's features that arrive at node n (bArrive) or
  // leave it, as the one-way marks allow; returns the number of feature ends
  // at n, drivable or not.
  int Ends(std::int64_t nWayId, std::uint32_t n, bool bArrive, std::vector<HalfEdge>& out) const {
    out.clear();
    std::uint32_t nFirst = 0;
    int nEnds = 0;
    const std::span<const Feature> fs = WayRange(nWayId, nFirst);
    for (std::uint32_t k = 0; k < fs.size(); ++k) {
      for (const bool bReversed : {false, true}) {
        // Forward a feature arrives at its last node and leaves its first.
        const bool bAtLast = bArrive != bReversed;
        if ((bAtLast ? fs[k].nToNode : fs[k].nFromNode) != n) continue;
        ++nEnds;
        if (Drivable(fs[k], bReversed)) out.push_back(vxnet::HalfEdgeOf(nFirst + k, bReversed));
      }
    }
    return nEnds;
  }

  // The ways through a chain of via ways: each way's features must follow
  // one another and the way must not be closed; both directions of the first
  // way are tried, and each later way must begin or end where the one before
  // left off; every via feature must be drivable the way the chain goes.
  // Returns the reason when no chain results.
  // Over the complexity limit: the chain is grown stretch by stretch with
  // each way it may fail named in place.
  // NOLINTNEXTLINE(readability-function-cognitive-complexity)
  RestrictionFate ViaChains(std::span<const std::int64_t> via, std::vector<Chain>& chains) const {
    struct Stretch {
      std::uint32_t nFirst, nCount, nStart, nEnd;
    };
    std::vector<Stretch> stretches;
    for (const std::int64_t nWayId : via) {
      std::uint32_t nFirst = 0;
      const std::span<const Feature> fs = WayRange(nWayId, nFirst);
      if (fs.empty()) return RestrictionFate::kMissingMember;
      for (std::size_t k = 1; k < fs.size(); ++k) {
        if (fs[k - 1].nToNode != fs[k].nFromNode) return RestrictionFate::kNotJoined;
      }
      if (fs.front().nFromNode == fs.back().nToNode) return RestrictionFate::kNotJoined;
      stretches.push_back(
          {nFirst, static_cast<std::uint32_t>(fs.size()), fs.front().nFromNode, fs.back().nToNode});
    }
    for (const bool bFirstReversed : {false, true}) {
      Chain c{bFirstReversed ? stretches[0].nEnd : stretches[0].nStart, 0, {}};
      std::uint32_t nAt = c.nEnter;
      bool bOk = true;
      for (std::size_t w = 0; w < stretches.size() && bOk; ++w) {
        const Stretch& s = stretches[w];
        const bool bReversed = nAt == s.nEnd;
        bOk = bReversed || nAt == s.nStart;
        for (std::uint32_t i = 0; i < s.nCount && bOk; ++i) {
          const std::uint32_t k = bReversed ? s.nFirst + s.nCount - 1 - i : s.nFirst + i;
          bOk = Drivable(m_net.features[k], bReversed);
          c.via.push_back(vxnet::HalfEdgeOf(k, bReversed));
        }
        nAt = bReversed ? s.nStart : s.nEnd;
      }
      if (!bOk || c.via.size() > UINT16_MAX) continue;
      c.nLeave = nAt;
      chains.push_back(std::move(c));
    }
    return RestrictionFate::kNotJoined;
  }

  // Appends to told the candidates that are the sequences the restriction
  // names: all of them when bAsMapped or for no_entry / no_exit; otherwise,
  // for each arrival (and chain), the one departure whose turn can be the
  // leg, none when no departure or several can be.
  void Tell(TurnLeg leg, bool bAsMapped, const std::vector<Candidate>& cands,
            std::vector<Candidate>& told) const {
    if (bAsMapped || leg == TurnLeg::kAny) {
      told.insert(told.end(), cands.begin(), cands.end());
      return;
    }
    // Candidates come grouped by arrival and chain.
    for (std::size_t i = 0; i < cands.size();) {
      std::size_t j = i;
      const Candidate* pLeg = nullptr;
      int nLegs = 0;
      for (; j < cands.size() && cands[j].nArrive == cands[i].nArrive &&
             cands[j].nChain == cands[i].nChain;
           ++j) {
        if (CanBeLeg(leg, TurnAngle(cands[j].nArrive, cands[j].nDepart))) {
          pLeg = &cands[j];
          ++nLegs;
        }
      }
      if (nLegs == 1) told.push_back(*pLeg);
      i = j;
    }
  }

  // Over the complexity limit: one relation's members, legs and pairs with
  // each reason for ignoring it in place; to be split by kind.
  // NOLINTNEXTLINE(readability-function-cognitive-complexity)
  RestrictionFate MapOne(std::size_t i) {
    const RawRestriction& rr = m_raw.restrictions[i];
    const std::span<const std::int64_t> members(
        m_raw.restrictionMembers.data() + rr.nFirstMember,
        std::size_t{rr.nFromCount} + rr.nViaCount + rr.nToCount);
    const auto from = members.first(rr.nFromCount);
    const auto to = members.last(rr.nToCount);
    std::vector<Chain> chains;
    if (rr.bViaNode) {
      if (m_viaNodes[i] == kNoViaNode) return RestrictionFate::kMissingMember;
      chains.push_back({m_viaNodes[i], m_viaNodes[i], {}});
    } else {
      const RestrictionFate fate = ViaChains(members.subspan(rr.nFromCount, rr.nViaCount), chains);
      if (chains.empty()) return fate;
    }
    RestrictionFate failure = RestrictionFate::kMissingMember;
    std::vector<Candidate> cands, told;
    std::vector<HalfEdge> arrive, depart;
    for (const std::int64_t nFromWay : from) {
      for (const std::int64_t nToWay : to) {
        std::uint32_t nUnused = 0;
        if (WayRange(nFromWay, nUnused).empty() || WayRange(nToWay, nUnused).empty()) continue;
        cands.clear();
        // As mapped: the two ways meet the via members at one chain, each
        // with a single feature end there.
        int nMeeting = 0;
        bool bSingleEnds = true;
        for (std::size_t c = 0; c < chains.size(); ++c) {
          const int nFromEnds = Ends(nFromWay, chains[c].nEnter, true, arrive);
          const int nToEnds = Ends(nToWay, chains[c].nLeave, false, depart);
          if (nFromEnds == 0 || nToEnds == 0) continue;
          ++nMeeting;
          bSingleEnds = bSingleEnds && nFromEnds == 1 && nToEnds == 1;
          for (const HalfEdge a : arrive)
            for (const HalfEdge b : depart) cands.push_back({a, c, b});
        }
        const bool bAsMapped = nMeeting == 1 && bSingleEnds;
        if (cands.empty()) {
          failure = std::max(failure, RestrictionFate::kNotJoined);
          continue;
        }
        const std::size_t nBefore = told.size();
        Tell(rr.kind.leg, bAsMapped, cands, told);
        if (told.size() == nBefore) failure = std::max(failure, RestrictionFate::kLegUnknown);
      }
    }
    if (told.empty()) return failure;
    if (rr.bViaNode) {
      ForbidAtNode(rr.kind.bOnly, chains[0].nEnter, told);
    } else {
      for (const Candidate& c : told)
        m_pending.push_back({c.nArrive, chains[c.nChain].via, c.nDepart,
                             rr.kind.bOnly ? vxnet::kViaOnly : vxnet::kViaNo});
    }
    return RestrictionFate::kApplied;
  }

  // no_*: each turn told; only_*: from each arrival told, every feature at
  // the node but the departures told for it.
  void ForbidAtNode(bool bOnly, std::uint32_t nVia, std::vector<Candidate>& told) {
    if (!bOnly) {
      for (const Candidate& c : told)
        m_net.forbidden.push_back({vxnet::FeatureOf(c.nArrive), nVia, vxnet::FeatureOf(c.nDepart)});
      return;
    }
    if (m_atNodeStart.empty()) BuildNodeTable();
    std::sort(told.begin(), told.end(),
              [](const Candidate& a, const Candidate& b) { return a.nArrive < b.nArrive; });
    const std::span<const std::uint32_t> atNode =
        vxnet::TableRange<std::uint32_t>(m_atNodeStart, m_atNode, nVia);
    for (std::size_t i = 0; i < told.size();) {
      std::size_t j = i;
      while (j < told.size() && told[j].nArrive == told[i].nArrive) ++j;
      for (const std::uint32_t k : atNode) {
        const bool bAllowed =
            std::any_of(told.begin() + static_cast<std::ptrdiff_t>(i),
                        told.begin() + static_cast<std::ptrdiff_t>(j),
                        [&](const Candidate& c) { return vxnet::FeatureOf(c.nDepart) == k; });
        if (!bAllowed) m_net.forbidden.push_back({vxnet::FeatureOf(told[i].nArrive), nVia, k});
      }
      i = j;
    }
  }

  // The features with an end at each node, for the only_* kinds.
  void BuildNodeTable() {
    vxnet::BuildCountingTable(
        m_net.nodes.size(),
        [&](auto&& emit) {
          for (std::uint32_t k = 0; k < m_net.features.size(); ++k) {
            const Feature& f = m_net.features[k];
            emit(f.nFromNode, k);
            if (f.nToNode != f.nFromNode) emit(f.nToNode, k);
          }
        },
        m_atNodeStart, m_atNode);
  }

  // The via restrictions sorted, each once, into the network's arrays.
  void LayOutVia() {
    std::sort(m_pending.begin(), m_pending.end(),
              [](const PendingVia& a, const PendingVia& b) { return a.Key() < b.Key(); });
    m_pending.erase(
        std::unique(m_pending.begin(), m_pending.end(),
                    [](const PendingVia& a, const PendingVia& b) { return a.Key() == b.Key(); }),
        m_pending.end());
    m_net.viaRestrictions.clear();
    m_net.viaHalfEdges.clear();
    for (const PendingVia& p : m_pending) {
      m_net.viaRestrictions.push_back({p.nFrom, p.nTo,
                                       static_cast<std::uint32_t>(m_net.viaHalfEdges.size()),
                                       static_cast<std::uint16_t>(p.via.size()), p.nKind, 0});
      m_net.viaHalfEdges.insert(m_net.viaHalfEdges.end(), p.via.begin(), p.via.end());
    }
  }

  RawOsm& m_raw;
  std::span<const std::uint32_t> m_viaNodes;
  std::span<const WayFeatures> m_ways;
  vxnet::RoadNetwork& m_net;
  std::vector<std::uint32_t> m_atNodeStart, m_atNode;  ///< features per node (only_*)
  std::vector<PendingVia> m_pending;
};

}  // namespace

void MapRestrictions(RawOsm& raw, std::span<const std::uint32_t> viaNodes,
                     std::span<const WayFeatures> ways, vxnet::RoadNetwork& net) {
  Mapper{raw, viaNodes, ways, net}.Run();
}

}  // namespace vxmap
