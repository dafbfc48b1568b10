// Building a 10,000-edge route of 20 points per edge with AddEdge, clearing
// it, and walking its guidance items; then the memory one edge really takes
// against the bare record + points + name.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cmath>
#include <cstddef>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "CPath/CPath.h"
#include "CPath/EdgeHeap.h"

namespace {

constexpr int kEdges = 10000;
constexpr unsigned short kPoints = 20;

struct Edge {
  std::vector<tagLonLat> pts;
  std::string name;
  VRO_FEATURE_ID id;
};

// A connected drive through a city: steps of about 10 m with gentle bends,
// each edge starting where the previous one ends.
const std::vector<Edge>& Route() {
  static const std::vector<Edge> route = [] {
    std::mt19937_64 rng(42);
    std::normal_distribution<double> bend(0.0, 0.15);
    std::vector<Edge> v(kEdges);
    tagLonLat at = {13.40, 52.50};
    double heading = 0.0;
    for (int i = 0; i < kEdges; ++i) {
      Edge& e = v[i];
      e.pts.push_back(at);
      for (int k = 1; k < kPoints; ++k) {
        heading += bend(rng);
        at.lon += 0.00015 * std::cos(heading);
        at.lat += 0.00009 * std::sin(heading);
        e.pts.push_back(at);
      }
      e.name = "Street " + std::to_string(i % 977);
      e.id = {{static_cast<std::uint32_t>(i), 1, 2, 3}};
    }
    return v;
  }();
  return route;
}

void Build(CPath& path) {
  for (const Edge& e : Route()) {
    path.AddEdge("R000", "R12", e.name.c_str(), "50", kPoints, e.pts.data(), e.id, 190.0);
  }
}

void PerEdge(benchmark::State& state) {
  state.counters["per_edge"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * kEdges,
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// AddEdge with identifier and length (as the route engine delivers), then Clear.
void BM_BuildAndClear(benchmark::State& state) {
  Route();
  CPath path;
  for (auto _ : state) {
    Build(path);
    path.Clear();
  }
  PerEdge(state);
}
BENCHMARK(BM_BuildAndClear)->Unit(benchmark::kMillisecond);

// AddEdge computing each edge's geodesic length, then Clear.
void BM_BuildWithLineLength(benchmark::State& state) {
  Route();
  CPath path;
  for (auto _ : state) {
    for (const Edge& e : Route()) {
      path.AddEdge("R000", "R12", e.name.c_str(), "50", kPoints, e.pts.data(), e.id);
    }
    path.Clear();
  }
  PerEdge(state);
}
BENCHMARK(BM_BuildWithLineLength)->Unit(benchmark::kMillisecond);

// Clear alone.
void BM_Clear(benchmark::State& state) {
  CPath path;
  for (auto _ : state) {
    state.PauseTiming();
    Build(path);
    state.ResumeTiming();
    path.Clear();
  }
  PerEdge(state);
}
BENCHMARK(BM_Clear)->Unit(benchmark::kMillisecond);

// StartGuid and NextGuid over the whole route.
void BM_GuidanceWalk(benchmark::State& state) {
  CPath path;
  Build(path);
  PathGuid guid;
  for (auto _ : state) {
    int n = 0;
    for (path.StartGuid(); path.NextGuid(guid) != 0;) ++n;
    benchmark::DoNotOptimize(n);
    benchmark::DoNotOptimize(guid.dTurnAngle);
  }
  state.counters["per_item"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * kEdges,
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_GuidanceWalk)->Unit(benchmark::kMillisecond);

// Opens the heap handle to the footprint below.
class HeapPath : public CPath {
 public:
  void* Heap() const { return hHeap; }
};

// Memory the route takes, per edge, against the bare record + 19 further
// points + name + NUL: the chunks its edge heap holds (every edge of this route
// fits in a chunk) and what else the path took from malloc.
void PrintFootprint() {
  std::size_t nBare = 0;
  for (const Edge& e : Route()) {
    nBare += offsetof(CPath::NavEdge, pts) + sizeof(tagLonLat) * kPoints + e.name.size() + 1;
  }
  malloc_trim(0);
  const struct mallinfo2 before = mallinfo2();
  {
    HeapPath path;
    Build(path);
    const struct mallinfo2 after = mallinfo2();
    const double dChunks =
        static_cast<double>(vx::EdgeHeapChunks(path.Heap()) * vx::kEdgeHeapChunkBytes);
    const double dMalloc = static_cast<double>(after.uordblks + after.hblkhd) -
                           static_cast<double>(before.uordblks + before.hblkhd);
    const double dBare = static_cast<double>(nBare);
    std::printf(
        "memory per edge: %.1f bytes in edge heap chunks, %.1f bytes more from malloc, %.1f bytes "
        "bare "
        "record+points+name\n",
        dChunks / kEdges, dMalloc / kEdges, dBare / kEdges);
  }
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  Route();
  PrintFootprint();
  return 0;
}
