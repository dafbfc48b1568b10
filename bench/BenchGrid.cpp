// Writes the large generated grid of BenchGrid.h.
#include "bench/BenchGrid.h"

#include <cstdio>
#include <filesystem>
#include <random>

namespace vxbench {

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

namespace {

constexpr double kTownLon = 10.0;
constexpr double kTownLat = 50.0;
constexpr double kTownStepLon = 0.0021;  // about 150 m at 50 N
constexpr double kTownStepLat = 0.00135;

}  // namespace

void TownGridCorner(int n, bool bNorthEast, double& dLon, double& dLat) {
  dLon = kTownLon + (bNorthEast ? (n - 1) * kTownStepLon : 0.0);
  dLat = kTownLat + (bNorthEast ? (n - 1) * kTownStepLat : 0.0);
}

std::string TownGridFile(int n, unsigned nSeed) {
  const std::string s =
      (std::filesystem::temp_directory_path() /
       ("vx_bench_town_" + std::to_string(n) + "_" + std::to_string(nSeed) + ".osm"))
          .string();
  std::FILE* f = std::fopen(s.c_str(), "wb");
  if (f == nullptr) return std::string();
  std::mt19937 gen(nSeed);
  std::fprintf(f, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<osm version=\"0.6\">\n");
  for (int y = 0; y < n; ++y)
    for (int x = 0; x < n; ++x)
      std::fprintf(f, "<node id=\"%d\" lat=\"%.7f\" lon=\"%.7f\"/>\n", 1 + y * n + x,
                   kTownLat + kTownStepLat * y, kTownLon + kTownStepLon * x);
  // One way per block side; rows run east, columns north.
  int nWay = 1;
  for (int line = 0; line < n; ++line) {
    for (int dir = 0; dir < 2; ++dir) {
      const bool bMain = line % 4 == 0;
      for (int k = 0; k + 1 < n; ++k) {
        const unsigned r = gen() % 100;
        if (!bMain && r < 8) continue;  // a missing block side
        const int a = dir == 0 ? 1 + line * n + k : 1 + k * n + line;
        const int b = dir == 0 ? a + 1 : a + n;
        std::fprintf(f, "<way id=\"%d\"><nd ref=\"%d\"/><nd ref=\"%d\"/>", nWay++, a, b);
        std::fprintf(f, "<tag k=\"highway\" v=\"%s\"/><tag k=\"name\" v=\"%s %d\"/>",
                     bMain ? "secondary" : "residential", dir == 0 ? "Row" : "Column", line);
        if (bMain) std::fprintf(f, "<tag k=\"maxspeed\" v=\"50\"/>");
        if (!bMain && r >= 8 && r < 16) std::fprintf(f, "<tag k=\"oneway\" v=\"yes\"/>");
        std::fprintf(f, "</way>\n");
      }
    }
  }
  std::fprintf(f, "</osm>\n");
  return std::fclose(f) == 0 ? s : std::string();
}

}  // namespace vxbench
