// Writes the large generated grid of BenchGrid.h.
#include "bench/BenchGrid.h"

#include <cstdio>
#include <filesystem>

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

}  // namespace vxbench
