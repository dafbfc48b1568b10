// Junction description on the real map reader: GetCrossEdge per call at the
// junctions of the sample town and of the large generated grid, without and
// with the one-way, turn and level checks. Every arrival is a whole feature
// driven into one of its ends; the calls cycle over all of them (the town)
// or over 10,000 chosen at random (the grid).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "CPath/CPath.h"
#include "bench/BenchGrid.h"
#include "interfaces/VroRead.h"
#include "network/FeatureId.h"
#include "network/ReaderNetwork.h"
#include "network/RoadGeometry.h"

namespace {

// The guidance records of arrivals at the junctions of one map, with the
// points they refer to.
struct Junctions {
  VRO_READER* hReader = nullptr;
  std::vector<std::vector<tagLonLat>> points;
  std::vector<NavGuid> arrivals;
};

// Opens the map once and prepares nMax arrivals at most (all when 0).
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

const Junctions& SampleTown() {
  static const Junctions j = Prepare(std::string(VX_SOURCE_DIR) + "/data/sample-town.osm", 0);
  return j;
}
const Junctions& LargeGrid() {
  static const Junctions j = Prepare(vxbench::LargeGridFile(), 10000);
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

void BM_CrossEdgeSampleTown(benchmark::State& state) { CrossEdge(state, SampleTown()); }
BENCHMARK(BM_CrossEdgeSampleTown)->Arg(0)->Arg(1);

void BM_CrossEdgeLargeGrid(benchmark::State& state) { CrossEdge(state, LargeGrid()); }
BENCHMARK(BM_CrossEdgeLargeGrid)->Arg(0)->Arg(1);

}  // namespace

BENCHMARK_MAIN();
