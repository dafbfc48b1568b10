// The map reader: opening the sample town and a generated grid of more than
// 200,000 features (load time, bytes per feature), and rectangle searches.
// The grid file is written to the temporary directory at the first use.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "bench/BenchGrid.h"
#include "bench/ReaderWork.h"
#include "interfaces/VroRead.h"
#include "map/ReaderState.h"

namespace {

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

// One search: the rectangle of half side state.range(0) units around a
// random junction, reset, and every feature found read.
void BM_RectSearch(benchmark::State& state) {
  static VRO_READER* h = VroReaderOpen(LargeGridFile().c_str());
  if (h == nullptr) {
    state.SkipWithError(VroReaderLastError());
    return;
  }
  vxbench::RectSearch(state, h, static_cast<std::int32_t>(state.range(0)));
}
BENCHMARK(BM_RectSearch)->Arg(2)->Arg(500)->Arg(5000);

}  // namespace

BENCHMARK_MAIN();
