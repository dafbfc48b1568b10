// The route engine's graph, computed once from the network (at import or by
// the map compiler): per feature its usable flag, geodesic length and end
// bearings, the half-edges leaving each node, and the network-wide figures of
// the search's distance estimate.
#ifndef VX_NETWORK_ROUTEGRAPHDATA_H
#define VX_NETWORK_ROUTEGRAPHDATA_H

#include <cmath>
#include <cstdint>

#include "network/RoadGeometry.h"
#include "network/RoadNetwork.h"

namespace vxnet {

/// Half-edge numbers and the search's parent codes must fit 32 bits.
inline constexpr std::uint32_t kMaxFeatures = 0x7FFFFFF0u;
/// States (the half-edges and their copies, network/ViaCopies.h) are numbered
/// below this; the numbers above are the search's parent codes.
inline constexpr std::uint32_t kMaxStates = 0xFFFFFFF0u;

/// A feature driven in one direction: 2 * feature + 0 from its first point to
/// its last, 2 * feature + 1 from its last point to its first.
using HalfEdge = std::uint32_t;

inline std::uint32_t FeatureOf(HalfEdge h) { return h >> 1; }
inline bool IsReversed(HalfEdge h) { return (h & 1u) != 0; }
inline HalfEdge HalfEdgeOf(std::uint32_t nFeature, bool bReversed) {
  return nFeature * 2u + (bReversed ? 1u : 0u);
}

/// Travel speed of a feature in km/h: its maxspeed clamped to 5..200, else
/// the speed of its road class.
inline double FeatureSpeedKmh(const Feature& f) {
  return f.nMaxSpeed > 0 ? std::fmin(std::fmax(f.nMaxSpeed, 5.0), 200.0)
                         : ClassSpeedKmh(f.nRoadClass);
}

/// A bearing in degrees [0, 360) as a 16-bit number (1/65536 of a turn), and back.
inline std::uint16_t BearingUnits(double dDegrees) {
  return static_cast<std::uint16_t>(
      static_cast<std::uint32_t>(std::lround(dDegrees * 65536.0 / 360.0)) & 0xFFFFu);
}
inline double BearingDegrees(std::uint16_t nUnits) { return nUnits * (360.0 / 65536.0); }

/// Builds the graph of net: a feature is usable when it is routable, its
/// points and nodes are in range and its index is below kMaxFeatures; unusable
/// features have length 0 and no leaving entries. The forbidden turns must be
/// sorted (their starts are flagged). The restrictions over via roads become
/// copies of half-edges and their steps (network/ViaCopies.h). Throws
/// std::bad_alloc, or std::length_error when the states would not fit.
GraphData BuildRouteGraph(const NetworkView& net);

}  // namespace vxnet

#endif
