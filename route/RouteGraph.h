// The road network as the route engine searches it: the stored route graph
// (geodesic lengths, end bearings, leaving lists, flags) and the feature-box
// grid over a network view, with every index taken from the arrays checked
// before it is followed. A view without graph or grid (a network imported
// into memory) gets them built here; a compiled map's are used as they are.
#ifndef VX_ROUTE_ROUTEGRAPH_H
#define VX_ROUTE_ROUTEGRAPH_H

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>

#include "network/RoadGeometry.h"
#include "network/RoadNetwork.h"
#include "network/RouteGraphData.h"

namespace vxroute {

using vxnet::BearingGap;
using vxnet::BearingOf;
using vxnet::FeatureOf;
using vxnet::HalfEdge;
using vxnet::HalfEdgeOf;
using vxnet::IsReversed;

class RouteGraph {
 public:
  /// Over net, whose arrays must outlive this; builds what net lacks.
  /// Throws std::bad_alloc when memory runs out.
  explicit RouteGraph(const vxnet::NetworkView& net);

  /// The network with its graph and grid.
  const vxnet::NetworkView& Net() const { return m_net; }
  std::uint32_t FeatureCount() const { return m_net.FeatureCount(); }
  /// Flagged usable, with a length, points and nodes in range. Every other
  /// call below takes a usable feature (or a half-edge of one).
  bool IsUsable(std::uint32_t nFeature) const;
  /// True when the feature's one-way mark lets it be driven as h says.
  bool AllowsDirection(HalfEdge h) const;
  /// Geodesic length in metres.
  double Length(std::uint32_t nFeature) const { return m_net.graph.lengths[nFeature]; }
  /// Travel speed in metres per second: maxspeed, else the class speed.
  double SpeedOf(std::uint32_t nFeature) const {
    return vxnet::FeatureSpeedKmh(m_net.features[nFeature]) / 3.6;
  }
  /// The highest SpeedOf over the usable features (at least 1).
  double MaxSpeed() const { return m_net.graph.info.dMaxSpeed; }

  std::uint32_t StartNode(HalfEdge h) const;
  std::uint32_t EndNode(HalfEdge h) const;
  /// Direction of travel on leaving h's start and on reaching h's end, degrees.
  double StartBearing(HalfEdge h) const;
  double EndBearing(HalfEdge h) const;
  /// Half-edges that start at nNode (one-way not applied; entries may name
  /// unusable features of a corrupt file, so check IsUsable).
  std::span<const HalfEdge> Leaving(std::uint32_t nNode) const {
    return vxnet::TableRange(m_net.graph.leavingStart, m_net.graph.leaving, nNode);
  }
  /// True when the turn from feature nFrom through nVia into nTo is forbidden.
  bool IsForbidden(std::uint32_t nFrom, std::uint32_t nVia, std::uint32_t nTo) const;

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

  /// Bytes of the graph and grid built here (none over a compiled map).
  std::size_t MemoryBytes() const;

 private:
  vxnet::GraphData m_ownGraph;
  vxnet::GridData m_ownGrid;
  vxnet::NetworkView m_net;
};

}  // namespace vxroute

#endif
