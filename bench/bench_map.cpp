// The map reader: opening the sample town and a generated grid of more than
// 200,000 features (load time, bytes per feature), and rectangle searches.
// The grid file is written to the temporary directory at the first use.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <random>
#include <string>

#include "bench/BenchGrid.h"
#include "interfaces/VroRead.h"
#include "map/ReaderState.h"

namespace {

using vxbench::kGrid;
using vxbench::LargeGridFile;

std::string SampleTownFile() { return std::string(VX_SOURCE_DIR) + "/data/sample-town.osm"; }

void Load(benchmark::State& state, const std::string& sPath) {
  std::size_t nFeatures = 0, nBytes = 0;
  for (auto _ : state) {
    VRO_READER* h = VroReaderOpen(sPath.c_str());
    if (h == nullptr) {
      state.SkipWithError(VroReaderLastError());
      return;
    }
    nFeatures = h->net.features.size();
    nBytes = vxmap::ReaderBytes(*h);
    VroReaderClose(h);
  }
  state.counters["features"] = static_cast<double>(nFeatures);
  state.counters["bytes_per_feature"] =
      static_cast<double>(nBytes) / static_cast<double>(nFeatures);
  state.counters["file_MB"] =
      static_cast<double>(std::filesystem::file_size(sPath)) / (1024.0 * 1024.0);
}

void BM_LoadSampleTown(benchmark::State& state) { Load(state, SampleTownFile()); }
BENCHMARK(BM_LoadSampleTown)->Unit(benchmark::kMillisecond);

void BM_LoadLargeGrid(benchmark::State& state) { Load(state, LargeGridFile()); }
BENCHMARK(BM_LoadLargeGrid)->Unit(benchmark::kMillisecond)->Iterations(3);

// One search: set the rectangle of half side state.range(0) units around a
// random junction, reset, and read every feature found.
void BM_RectSearch(benchmark::State& state) {
  static VRO_READER* h = VroReaderOpen(LargeGridFile().c_str());
  if (h == nullptr) {
    state.SkipWithError(VroReaderLastError());
    return;
  }
  const std::int32_t nHalf = static_cast<std::int32_t>(state.range(0));
  std::mt19937 rng(11);
  std::uniform_int_distribution<int> pick(0, kGrid - 1);
  char c[6], s1[21], s2[301];
  VRO_FEATURE_ID id;
  Bin_LonLat* p = nullptr;
  std::size_t nFound = 0, nSearches = 0;
  for (auto _ : state) {
    const Bin_LonLat at{1000000 + 150 * pick(rng), 5000000 + 90 * pick(rng)};
    VroReaderRectLimit(h, {at.lon - nHalf, at.lat - nHalf}, {at.lon + nHalf, at.lat + nHalf});
    VroReaderReset(h, nullptr, 1);
    while (VroReaderNextFeature(h, c, s1, s2, id, p) > 0) ++nFound;
    ++nSearches;
  }
  state.counters["features_per_search"] =
      static_cast<double>(nFound) / static_cast<double>(nSearches);
}
BENCHMARK(BM_RectSearch)->Arg(2)->Arg(500)->Arg(5000);

}  // namespace

BENCHMARK_MAIN();
