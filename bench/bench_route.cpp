// Route query time of the route engine on a generated grid of more than
// 200,000 features and on the sample town through the map reader:
// one query per iteration over random start/target pairs (find the route and
// hand out every edge), with the median query time, the mean settled
// half-edges and the engine's memory as counters.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <random>
#include <vector>

#include "interfaces/VroRead.h"
#include "network/ReaderNetwork.h"
#include "network/RoadNetwork.h"
#include "route/RouteEngine.h"

namespace {

double ThreadCpuMs() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

constexpr int kSide = 317;     // nodes per side: 2 * 317 * 316 = 200,344 features
constexpr int kSpacing = 250;  // map units (0.0025 degree) between nodes
constexpr int kPairs = 200;

/// A grid of two-way residential streets with a primary road every tenth
/// line, one street in eight one-way, every street with one bent inner point,
/// and a forbidden left turn at every twentieth node.
vxnet::RoadNetwork MakeGrid() {
  vxnet::RoadNetwork net;
  net.names.Add("Main Street");
  net.names.Add("Side Street");
  std::mt19937 rng(3);
  const std::int32_t x0 = 1300000, y0 = 5200000;
  for (int y = 0; y < kSide; ++y) {
    for (int x = 0; x < kSide; ++x) {
      net.nodes.push_back({x0 + x * kSpacing, y0 + y * kSpacing});
    }
  }
  auto addRoad = [&](std::uint32_t a, std::uint32_t b, bool bPrimary) {
    vxnet::Feature f{};
    f.nFirstPoint = static_cast<std::uint32_t>(net.points.size());
    const Bin_LonLat pa = net.nodes[a], pb = net.nodes[b];
    net.points.push_back(pa);
    net.points.push_back({(pa.lon + pb.lon) / 2 + static_cast<std::int32_t>(rng() % 21) - 10,
                          (pa.lat + pb.lat) / 2 + static_cast<std::int32_t>(rng() % 21) - 10});
    net.points.push_back(pb);
    f.nPointCount = 3;
    f.nFromNode = a;
    f.nToNode = b;
    f.nName = bPrimary ? 1 : 2;
    f.nRoadClass = bPrimary ? 3 : 7;
    f.nOneWay = !bPrimary && rng() % 8 == 0 ? static_cast<std::int8_t>(rng() % 2 ? 1 : -1) : 0;
    f.nFlags = vxnet::kRoutable;
    net.features.push_back(f);
    return static_cast<std::uint32_t>(net.features.size() - 1);
  };
  auto id = [](int x, int y) { return static_cast<std::uint32_t>(y * kSide + x); };
  std::vector<std::uint32_t> east(net.nodes.size(), 0), north(net.nodes.size(), 0);
  for (int y = 0; y < kSide; ++y) {
    for (int x = 0; x < kSide; ++x) {
      if (x + 1 < kSide) east[id(x, y)] = addRoad(id(x, y), id(x + 1, y), y % 10 == 0);
      if (y + 1 < kSide) north[id(x, y)] = addRoad(id(x, y), id(x, y + 1), x % 10 == 0);
    }
  }
  // From the street arriving from the west, no left turn into the street north.
  for (int y = 0; y + 1 < kSide; ++y) {
    for (int x = 1; x < kSide; ++x) {
      if ((x + y) % 20 == 0) {
        net.forbidden.push_back({east[id(x - 1, y)], id(x, y), north[id(x, y)]});
      }
    }
  }
  std::sort(net.forbidden.begin(), net.forbidden.end(), [](const auto& a, const auto& b) {
    return std::tie(a.nFrom, a.nVia, a.nTo) < std::tie(b.nFrom, b.nVia, b.nTo);
  });
  return net;
}

using Pairs = std::vector<std::pair<tagLonLat, tagLonLat>>;

/// kPairs random start/target points in the box of the network's nodes.
Pairs RandomPairs(const vxnet::NetworkView& net) {
  std::int32_t x0 = net.nodes.front().lon, x1 = x0, y0 = net.nodes.front().lat, y1 = y0;
  for (const Bin_LonLat& p : net.nodes) {
    x0 = std::min(x0, p.lon);
    x1 = std::max(x1, p.lon);
    y0 = std::min(y0, p.lat);
    y1 = std::max(y1, p.lat);
  }
  std::mt19937_64 rng(5);
  std::uniform_real_distribution<double> lon(x0 / 100000.0, x1 / 100000.0);
  std::uniform_real_distribution<double> lat(y0 / 100000.0, y1 / 100000.0);
  Pairs pairs;
  for (int i = 0; i < kPairs; ++i) {
    pairs.push_back({{lon(rng), lat(rng)}, {lon(rng), lat(rng)}});
  }
  return pairs;
}

struct Grid {
  vxnet::RoadNetwork net = MakeGrid();
  vxroute::RouteEngine engine{net.View()};
  Pairs pairs = RandomPairs(net.View());
};

Grid& TheGrid() {
  static Grid g;
  return g;
}

/// One query per iteration over pairs; the figures as counters.
void RunQueries(benchmark::State& state, vxroute::RouteEngine& e, const vxnet::NetworkView& net,
                const Pairs& pairs, const char* szMode) {
  std::vector<double> ms, cpu;
  double dSettled = 0;
  std::size_t nFailed = 0, i = 0;
  for (auto _ : state) {
    const auto& [a, b] = pairs[i++ % pairs.size()];
    const auto t0 = std::chrono::steady_clock::now();
    const double c0 = ThreadCpuMs();
    const int n = e.FindPath(a, b, -1.0, 0.0, szMode, 0.0);
    if (n < 0) {
      ++nFailed;
    } else if (e.RetrieveStart() != 0) {
      char c6[6], c21[21], c301[301], c100[100];
      VRO_FEATURE_ID id;
      double d;
      tagLonLat* p;
      while (e.RetrieveNextEdge(c6, c21, c301, c100, id, d, p) > 0) benchmark::DoNotOptimize(p);
      e.Reset();
    }
    cpu.push_back(ThreadCpuMs() - c0);
    const auto t1 = std::chrono::steady_clock::now();
    ms.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
    dSettled += static_cast<double>(e.LastSettled());
  }
  std::sort(ms.begin(), ms.end());
  std::sort(cpu.begin(), cpu.end());
  state.counters["features"] = static_cast<double>(net.features.size());
  state.counters["median_ms"] = ms[ms.size() / 2];
  state.counters["median_cpu_ms"] = cpu[cpu.size() / 2];
  state.counters["max_ms"] = ms.back();
  state.counters["settled"] = dSettled / static_cast<double>(ms.size());
  state.counters["no_route"] = static_cast<double>(nFailed);
  state.counters["engine_MB"] = static_cast<double>(e.MemoryBytes()) / 1e6;
}

void BM_RouteGrid(benchmark::State& state, const char* szMode) {
  Grid& g = TheGrid();
  RunQueries(state, g.engine, g.net.View(), g.pairs, szMode);
}
BENCHMARK_CAPTURE(BM_RouteGrid, fastest, "fastest")
    ->Iterations(kPairs)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_RouteGrid, shortest, "shortest")
    ->Iterations(kPairs)
    ->Unit(benchmark::kMillisecond);

// The sample town through the map reader.
void BM_RouteTown(benchmark::State& state, const char* szMode) {
  static VRO_READER* hReader = VroReaderOpen(VX_SOURCE_DIR "/data/sample-town.osm");
  if (hReader == nullptr) {
    state.SkipWithError(VroReaderLastError());
    return;
  }
  const vxnet::NetworkView& net = *vxnet::NetworkOfReader(hReader);
  static vxroute::RouteEngine engine(net);
  static const Pairs pairs = RandomPairs(net);
  RunQueries(state, engine, net, pairs, szMode);
}
BENCHMARK_CAPTURE(BM_RouteTown, fastest, "fastest")
    ->Iterations(kPairs)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_RouteTown, shortest, "shortest")
    ->Iterations(kPairs)
    ->Unit(benchmark::kMillisecond);

void BM_OpenEngine(benchmark::State& state) {
  const vxnet::NetworkView net = TheGrid().net.View();
  for (auto _ : state) {
    vxroute::RouteEngine e(net);
    benchmark::DoNotOptimize(e.MemoryBytes());
  }
}
BENCHMARK(BM_OpenEngine)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
