// The turn-aware state graph the route engine searches and its overlay is
// built on. A state is a half-edge (a feature driven in one direction); an
// arc h -> b joins a state to one that leaves the node where h ends, when the
// turn is permitted: b usable and drivable that way, the turn not forbidden,
// and turning back onto h's own feature only where nothing else leaves. The
// arc's price is driving h whole plus the turn's penalty. Every index taken
// from the network is checked before it is followed, so a view over any file
// is never read out of bounds. The view's arrays must outlive the graph.
//
// The restrictions over via roads add copies of half-edges as further states
// behind the half-edges (network/ViaCopies.h): a copy starts and ends where
// its half-edge does and costs the same; only its turns differ. Everything
// built on the graph reaches states only through StateCount, StartNode,
// EndNode, Cost, IsDrivable, HalfEdgeOf and ForEachTurn.
#ifndef VX_NETWORK_STATEGRAPH_H
#define VX_NETWORK_STATEGRAPH_H

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>

#include "network/RoadGeometry.h"
#include "network/RoadNetwork.h"
#include "network/RouteGraphData.h"

namespace vxnet {

/// What changes the arcs for one query: blocked features (one flag per
/// feature, or null) are neither entered nor left, except nOpenFeature (the
/// target's), which may be entered; a blocked feature also stops counting as
/// a way on, so turning back may become allowed at its ends. The penalties
/// are added to a turn of more than 45 degrees between features and to
/// turning back onto the same feature.
struct TurnRule {
  const std::uint8_t* pBlocked = nullptr;
  std::uint32_t nOpenFeature = 0xFFFFFFFFu;
  double dTurnPenalty = 0.0;
  double dUTurnPenalty = 0.0;
};

class StateGraph {
 public:
  /// Over net, whose graph (GraphView) must be built.
  explicit StateGraph(const NetworkView& net) : m_net(net) {}

  /// The network with its graph and grid.
  const NetworkView& Net() const { return m_net; }
  std::uint32_t FeatureCount() const { return m_net.FeatureCount(); }
  /// States: the half-edges of every feature, then the copies.
  std::uint32_t StateCount() const {
    return 2 * FeatureCount() + static_cast<std::uint32_t>(m_net.graph.copies.size());
  }
  /// The half-edge state s drives: s itself, or the half-edge of a copy
  /// (checked in range when a compiled map is opened).
  HalfEdge HalfEdgeOf(State s) const {
    const std::uint32_t nHalfEdges = 2 * FeatureCount();
    return s < nHalfEdges ? s : m_net.graph.copies[s - nHalfEdges];
  }
  /// The feature state s drives.
  std::uint32_t FeatureOfState(State s) const { return FeatureOf(HalfEdgeOf(s)); }
  std::uint32_t NodeCount() const { return static_cast<std::uint32_t>(m_net.nodes.size()); }

  /// Flagged usable, with a length, points and nodes in range. Every other
  /// call below takes a usable feature (or a state of one).
  bool IsUsable(std::uint32_t nFeature) const;
  /// True when the feature's one-way mark lets it be driven as h says.
  bool AllowsDirection(HalfEdge h) const {
    const std::int8_t nOneWay = m_net.features[FeatureOf(h)].nOneWay;
    return nOneWay == 0 || (nOneWay > 0) != IsReversed(h);
  }
  /// A state that some route may drive: usable and drivable that way.
  bool IsDrivable(State s) const {
    const HalfEdge h = HalfEdgeOf(s);
    return IsUsable(FeatureOf(h)) && AllowsDirection(h);
  }
  /// Geodesic length in metres.
  double Length(std::uint32_t nFeature) const { return m_net.graph.lengths[nFeature]; }
  /// Travel speed in metres per second: maxspeed, else the class speed.
  double SpeedOf(std::uint32_t nFeature) const {
    return FeatureSpeedKmh(m_net.features[nFeature]) / 3.6;
  }
  /// The highest SpeedOf over the usable features (at least 1).
  double MaxSpeed() const { return m_net.graph.info.dMaxSpeed; }
  /// The price of driving state s whole.
  double Cost(State s, Metric m) const {
    const std::uint32_t f = FeatureOfState(s);
    return m == Metric::kShortest ? Length(f) : Length(f) / SpeedOf(f);
  }

  std::uint32_t StartNode(State s) const {
    const HalfEdge h = HalfEdgeOf(s);
    const Feature& ft = m_net.features[FeatureOf(h)];
    return IsReversed(h) ? ft.nToNode : ft.nFromNode;
  }
  std::uint32_t EndNode(State s) const {
    const HalfEdge h = HalfEdgeOf(s);
    const Feature& ft = m_net.features[FeatureOf(h)];
    return IsReversed(h) ? ft.nFromNode : ft.nToNode;
  }
  /// Direction of travel on leaving h's start and on reaching h's end, degrees.
  double StartBearing(HalfEdge h) const;
  double EndBearing(HalfEdge h) const;
  /// Half-edges that start at nNode (one-way not applied; entries may name
  /// unusable features of a corrupt file, so check IsUsable).
  std::span<const HalfEdge> Leaving(std::uint32_t nNode) const {
    return TableRange(m_net.graph.leavingStart, m_net.graph.leaving, nNode);
  }
  /// True when the turn from feature nFrom through nVia into nTo is forbidden.
  bool IsForbidden(std::uint32_t nFrom, std::uint32_t nVia, std::uint32_t nTo) const;

  /// True when b, leaving the node where h ends, may follow h under rule as
  /// far as b itself goes: usable, not blocked, drivable that way, the turn
  /// not forbidden (turning back is further limited, see ForEachTurn).
  bool MayFollow(State h, HalfEdge b, const TurnRule& rule) const {
    const std::uint32_t fTo = FeatureOf(b);
    return IsUsable(fTo) &&
           (rule.pBlocked == nullptr || rule.pBlocked[fTo] == 0 || fTo == rule.nOpenFeature) &&
           AllowsDirection(b) && !IsForbidden(FeatureOf(h), EndNode(h), fTo);
  }

  /// Where turning from state s into half-edge b (a permitted turn) leads:
  /// b itself, a copy of b, or kBarredStep when the turn would complete a
  /// sequence a via restriction forbids.
  State Step(State s, HalfEdge b) const;

  /// Calls fn(t, dPenalty) for every arc s -> t under rule (s a state of a
  /// usable feature); the arc's price is Cost(s) + dPenalty. The arcs are
  /// those of s's half-edge h, each led where Step says; a way on that a via
  /// restriction bars still counts as one for the rule on turning back.
  template <class Fn>
  void ForEachTurn(State s, const TurnRule& rule, Fn&& fn) const;

  std::span<const Bin_LonLat> Points(std::uint32_t nFeature) const {
    return m_net.PointsOf(m_net.features[nFeature]);
  }
  /// The point of network node nNode (a node of a usable feature).
  const Bin_LonLat& NodePoint(std::uint32_t nNode) const { return m_net.nodes[nNode]; }

  /// Lower bound of the ground distance in metres between two map points
  /// (units of 0.00001 degree) anywhere in this network.
  double LowerBoundMetres(double dX1, double dY1, double dX2, double dY2) const {
    const double dx = (dX2 - dX1) * m_net.graph.info.dLonScale;
    const double dy = (dY2 - dY1) * m_net.graph.info.dLatScale;
    return std::sqrt(dx * dx + dy * dy);
  }

 protected:
  void SetNet(const NetworkView& net) { m_net = net; }

 private:
  NetworkView m_net;
};

template <class Fn>
void StateGraph::ForEachTurn(State s, const TurnRule& rule, Fn&& fn) const {
  constexpr double kTurnDegrees = 45.0;
  const HalfEdge h = HalfEdgeOf(s);
  const bool bSteps = s != h || (m_net.graph.flags[FeatureOf(h)] & kViaStart) != 0;
  const auto arc = [&](HalfEdge b, double dPenalty) {
    const State t = bSteps ? Step(s, b) : b;
    if (t != kBarredStep) fn(t, dPenalty);
  };
  const double dBearing = EndBearing(h);
  bool bOtherWay = false;
  bool bCanTurnBack = false;
  for (const HalfEdge b : Leaving(EndNode(h))) {
    if (!MayFollow(h, b, rule)) {
      continue;
    }
    if (b == (h ^ 1u)) {
      bCanTurnBack = true;
      continue;
    }
    bOtherWay = true;
    arc(b, BearingGap(dBearing, StartBearing(b)) > kTurnDegrees ? rule.dTurnPenalty : 0.0);
  }
  // Turning back onto the same feature only where the road ends.
  if (bCanTurnBack && !bOtherWay) {
    arc(h ^ 1u, rule.dUTurnPenalty);
  }
}

}  // namespace vxnet

#endif
