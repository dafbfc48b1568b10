// The road network as the route engine searches it: per feature its usable
// flag, geodesic length, speed and end bearings, the features leaving each
// node, and the forbidden turns. Built once from a RoadNetwork, which must
// outlive it; read-only afterwards.
#ifndef VX_ROUTE_ROUTEGRAPH_H
#define VX_ROUTE_ROUTEGRAPH_H

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "map/RoadGeometry.h"
#include "map/RoadNetwork.h"

namespace vxroute {

/// A feature driven in one direction: 2 * feature + 0 from its first point to
/// its last, 2 * feature + 1 from its last point to its first.
using HalfEdge = std::uint32_t;

inline std::uint32_t FeatureOf(HalfEdge h) { return h >> 1; }
inline bool IsReversed(HalfEdge h) { return (h & 1u) != 0; }
inline HalfEdge HalfEdgeOf(std::uint32_t nFeature, bool bReversed) {
  return nFeature * 2u + (bReversed ? 1u : 0u);
}

using vxmap::BearingGap;
using vxmap::BearingOf;
using vxmap::ClassSpeedKmh;

class RouteGraph {
 public:
  /// Indexes net. A feature whose point range, nodes or point count are out of
  /// range, or that is not routable, is left out of every search.
  explicit RouteGraph(const vxmap::RoadNetwork& net);

  const vxmap::RoadNetwork& Net() const { return m_net; }
  std::uint32_t FeatureCount() const { return static_cast<std::uint32_t>(m_dLength.size()); }
  /// Routable and consistent.
  bool IsUsable(std::uint32_t nFeature) const { return (m_nFlags[nFeature] & 1u) != 0; }
  /// True when the feature's one-way mark lets it be driven as h says.
  bool AllowsDirection(HalfEdge h) const;
  /// Geodesic length in metres.
  double Length(std::uint32_t nFeature) const { return m_dLength[nFeature]; }
  /// Travel speed in metres per second: maxspeed, else the class speed.
  double SpeedOf(std::uint32_t nFeature) const;
  /// The highest SpeedOf over the usable features (at least 1).
  double MaxSpeed() const { return m_dMaxSpeed; }

  std::uint32_t StartNode(HalfEdge h) const;
  std::uint32_t EndNode(HalfEdge h) const;
  /// Direction of travel on leaving h's start and on reaching h's end, degrees.
  double StartBearing(HalfEdge h) const;
  double EndBearing(HalfEdge h) const;
  /// Half-edges of usable features that start at nNode (one-way not applied).
  std::span<const HalfEdge> Leaving(std::uint32_t nNode) const;
  /// True when the turn from feature nFrom through nVia into nTo is forbidden.
  bool IsForbidden(std::uint32_t nFrom, std::uint32_t nVia, std::uint32_t nTo) const;

  const Bin_LonLat* Points(std::uint32_t nFeature) const;
  std::uint32_t PointCount(std::uint32_t nFeature) const;

  /// Lower bound of the ground distance in metres between two map points
  /// (units of 0.00001 degree) anywhere in this network.
  double LowerBoundMetres(double dX1, double dY1, double dX2, double dY2) const;

  /// Bytes held by this index (the network itself not counted).
  std::size_t MemoryBytes() const;

 private:
  const vxmap::RoadNetwork& m_net;
  std::vector<std::uint8_t> m_nFlags;  // bit 0 usable, bit 1 a forbidden turn starts on it
  std::vector<double> m_dLength;
  std::vector<float> m_fBearing;               // per feature: first step, last step (forward)
  std::vector<std::uint32_t> m_nLeavingStart;  // node -> offset in m_leaving
  std::vector<HalfEdge> m_leaving;
  std::vector<vxmap::ForbiddenTurn> m_forbidden;  // sorted copy
  double m_dMaxSpeed = 1.0;
  double m_dLonScale = 0.0;  // metres per unit of longitude, lower bound
  double m_dLatScale = 0.0;  // metres per unit of latitude, lower bound
};

}  // namespace vxroute

#endif
