// The map reader: opening the sample town and a generated grid of more than
// 200,000 features (load time, bytes per feature), and rectangle searches.
// The grid file is written to the temporary directory at the first use.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>

#include "interfaces/VroRead.h"
#include "map/ReaderState.h"

namespace {

constexpr int kGrid = 320;  // 320 x 320 junctions: 2 * 320 * 319 = 204,160 features

// A square grid of residential streets, one way per row and per column,
// 100 m apart, written once as OpenStreetMap XML.
const std::string& LargeGridFile() {
  static const std::string sPath = [] {
    const std::string s =
        (std::filesystem::temp_directory_path() / "vx_bench_map_grid.osm").string();
    std::FILE* f = std::fopen(s.c_str(), "wb");
    if (f == nullptr) return std::string();
    std::fprintf(f, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<osm version=\"0.6\">\n");
    for (int y = 0; y < kGrid; ++y)
      for (int x = 0; x < kGrid; ++x)
        std::fprintf(f, "<node id=\"%d\" lat=\"%.7f\" lon=\"%.7f\"/>\n", 1 + y * kGrid + x,
                     50.0 + 0.0009 * y, 10.0 + 0.0015 * x);
    for (int i = 0; i < kGrid; ++i) {
      std::fprintf(f, "<way id=\"%d\">", 1 + 2 * i);
      for (int x = 0; x < kGrid; ++x) std::fprintf(f, "<nd ref=\"%d\"/>", 1 + i * kGrid + x);
      std::fprintf(
          f, "<tag k=\"highway\" v=\"residential\"/><tag k=\"name\" v=\"Row %d\"/></way>\n", i);
      std::fprintf(f, "<way id=\"%d\">", 2 + 2 * i);
      for (int y = 0; y < kGrid; ++y) std::fprintf(f, "<nd ref=\"%d\"/>", 1 + y * kGrid + i);
      std::fprintf(
          f, "<tag k=\"highway\" v=\"tertiary\"/><tag k=\"name\" v=\"Column %d\"/></way>\n", i);
    }
    std::fprintf(f, "</osm>\n");
    return std::fclose(f) == 0 ? s : std::string();
  }();
  return sPath;
}

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
