// Building the route graph: geodesic lengths, bearings, leaving lists.
#include "network/RouteGraphData.h"

#include <algorithm>
#include <numbers>
#include <thread>

#include "interfaces/VroGeo.h"
#include "network/CountingTable.h"
#include "network/ViaCopies.h"

namespace vxnet {
namespace {

// Metres per degree: along a meridian at least 110574 (its value at the
// equator), along a parallel at least 111319 times the cosine of latitude.
constexpr double kMinMetresPerDegreeLat = 110574.0;
constexpr double kMinMetresPerDegreeLon = 111319.0;
// Slack for the flat-plane estimate over longer distances.
constexpr double kLowerBoundSlack = 0.99;
// Networks from this many features measure their features on two threads.
constexpr std::size_t kThreadedFeatures = 100000;

tagLonLat LonLatOf(const Bin_LonLat& p) { return {BinToDegrees(p.lon), BinToDegrees(p.lat)}; }

// Sets in g, whose arrays the caller sized, the usable flag, length and end
// bearings of each usable feature among the features [nBegin, nEnd) of net.
void MeasureFeatures(const NetworkView& net, GraphData& g, std::size_t nBegin, std::size_t nEnd) {
  const std::size_t nNodes = net.nodes.size();
  for (std::size_t f = nBegin; f < nEnd; ++f) {
    const Feature& ft = net.features[f];
    const std::span<const Bin_LonLat> p = net.PointsOf(ft);
    if (f >= kMaxFeatures || p.empty() || ft.nFromNode >= nNodes || ft.nToNode >= nNodes ||
        !ft.IsRoutable())
      continue;
    g.flags[f] = kUsable;
    double dLen = 0.0;
    for (std::size_t i = 0; i + 1 < p.size(); ++i) {
      dLen += SegmentLength(LonLatOf(p[i]), LonLatOf(p[i + 1]));
    }
    g.lengths[f] = static_cast<float>(dLen);
    const std::size_t n = p.size();
    g.bearings[2 * f] = BearingUnits(BearingOf(p[0].lon, p[0].lat, p[1].lon, p[1].lat));
    g.bearings[2 * f + 1] =
        BearingUnits(BearingOf(p[n - 2].lon, p[n - 2].lat, p[n - 1].lon, p[n - 1].lat));
  }
}

// The scales of the search's distance estimate over the nodes of net: lower
// bounds of the metres per map unit at the farthest latitude from the equator.
void SetEstimateScales(const NetworkView& net, GraphData& g) {
  double dMaxAbsLat = 0.0;
  for (const Bin_LonLat& p : net.nodes) {
    dMaxAbsLat = std::max(dMaxAbsLat, std::fabs(p.lat / 100000.0));
  }
  dMaxAbsLat = std::min(dMaxAbsLat, 90.0);
  g.info.dLatScale = kMinMetresPerDegreeLat / 100000.0 * kLowerBoundSlack;
  g.info.dLonScale = kMinMetresPerDegreeLon * std::cos(dMaxAbsLat * std::numbers::pi / 180.0) /
                     100000.0 * kLowerBoundSlack;
}

}  // namespace

GraphData BuildRouteGraph(const NetworkView& net) {
  GraphData g;
  const std::size_t nFeatures = net.features.size();
  const std::size_t nNodes = net.nodes.size();
  g.lengths.assign(nFeatures, 0.0f);
  g.bearings.assign(nFeatures * 2, 0);
  g.flags.assign(nFeatures, 0);
  // The features' own figures, in two halves on two threads for a large
  // network (each feature is computed alone, so the result is the same).
  if (nFeatures >= kThreadedFeatures) {
    std::thread other([&] { MeasureFeatures(net, g, nFeatures / 2, nFeatures); });
    MeasureFeatures(net, g, 0, nFeatures / 2);
    other.join();
  } else {
    MeasureFeatures(net, g, 0, nFeatures);
  }
  for (std::size_t f = 0; f < nFeatures; ++f) {
    if ((g.flags[f] & kUsable) != 0)
      g.info.dMaxSpeed = std::max(g.info.dMaxSpeed, FeatureSpeedKmh(net.features[f]) / 3.6);
  }
  BuildCountingTable(
      nNodes,
      [&](auto&& emit) {
        for (std::uint32_t f = 0; f < nFeatures; ++f) {
          if ((g.flags[f] & kUsable) == 0) continue;
          emit(net.features[f].nFromNode, HalfEdgeOf(f, false));
          emit(net.features[f].nToNode, HalfEdgeOf(f, true));
        }
      },
      g.leavingStart, g.leaving);
  for (const ForbiddenTurn& t : net.forbidden) {
    if (t.nFrom < nFeatures) g.flags[t.nFrom] |= kTurnRule;
  }
  SetEstimateScales(net, g);
  BuildViaCopies(net, g);
  return g;
}

}  // namespace vxnet
