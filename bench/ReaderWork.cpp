// GetCrossEdge arrivals and rectangle searches for the map benchmarks.
#include "bench/ReaderWork.h"

#include <algorithm>
#include <random>

#include "network/FeatureId.h"
#include "network/ReaderNetwork.h"
#include "network/RoadGeometry.h"

namespace vxbench {

Junctions Prepare(const std::string& sPath, std::size_t nMax) {
  Junctions j;
  j.hReader = VroReaderOpen(sPath.c_str());
  if (j.hReader == nullptr) return j;
  const vxnet::NetworkView& net = *vxnet::NetworkOfReader(j.hReader);
  std::vector<std::uint32_t> order(2 * net.features.size());
  for (std::uint32_t i = 0; i < order.size(); ++i) order[i] = i;
  if (nMax != 0 && nMax < order.size()) {
    std::shuffle(order.begin(), order.end(), std::mt19937(5));
    order.resize(nMax);
  }
  for (const std::uint32_t k : order) {
    const std::uint32_t f = k / 2;
    const bool bReversed = k % 2 != 0;
    const vxnet::Feature& ft = net.features[f];
    std::vector<tagLonLat> pts;
    for (std::uint32_t i = 0; i < ft.nPointCount; ++i) {
      const Bin_LonLat& p = net.points[ft.nFirstPoint + i];
      pts.push_back({vxnet::BinToDegrees(p.lon), vxnet::BinToDegrees(p.lat)});
    }
    if (bReversed) std::reverse(pts.begin(), pts.end());
    j.points.push_back(std::move(pts));
  }
  for (std::size_t i = 0; i < order.size(); ++i) {
    NavGuid nav{};
    nav.idEdge = vxnet::FeatureIdOf(order[i] / 2, order[i] % 2 != 0);
    nav.wPtNum = static_cast<unsigned short>(j.points[i].size());
    nav.pPts = j.points[i].data();
    nav.ptEnd = j.points[i].back();
    j.arrivals.push_back(nav);
  }
  return j;
}

// One GetCrossEdge per iteration; state.range(0) nonzero sets both checks.
void CrossEdge(benchmark::State& state, const Junctions& j) {
  if (j.hReader == nullptr || j.arrivals.empty()) {
    state.SkipWithError("map not opened");
    return;
  }
  const int bCheck = state.range(0) != 0 ? 1 : 0;
  VRO_FEATURE_ID ids[16];
  double angles[16];
  std::size_t i = 0, nRoads = 0, nCalls = 0;
  for (auto _ : state) {
    nRoads += static_cast<std::size_t>(CPath::GetCrossEdge(j.hReader, j.arrivals[i], ids, angles,
                                                           16, bCheck, bCheck, nullptr, '1', '7'));
    benchmark::DoNotOptimize(angles);
    ++nCalls;
    if (++i == j.arrivals.size()) i = 0;
  }
  state.counters["roads_per_call"] = static_cast<double>(nRoads) / static_cast<double>(nCalls);
}

void RectSearch(benchmark::State& state, VRO_READER* h, std::int32_t nHalf) {
  const vxnet::NetworkView* pNet = vxnet::NetworkOfReader(h);
  if (pNet == nullptr || pNet->points.empty()) {
    state.SkipWithError("map not opened");
    return;
  }
  std::mt19937 rng(11);
  char c[6], s1[21], s2[301];
  VRO_FEATURE_ID id;
  Bin_LonLat* p = nullptr;
  std::size_t nFound = 0, nSearches = 0;
  for (auto _ : state) {
    const Bin_LonLat at = pNet->points[rng() % pNet->points.size()];
    VroReaderRectLimit(h, {at.lon - nHalf, at.lat - nHalf}, {at.lon + nHalf, at.lat + nHalf});
    VroReaderReset(h, nullptr, 1);
    while (VroReaderNextFeature(h, c, s1, s2, id, p) > 0) ++nFound;
    ++nSearches;
  }
  state.counters["features_per_search"] =
      static_cast<double>(nFound) / static_cast<double>(nSearches);
}

}  // namespace vxbench
