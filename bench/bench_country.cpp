// The compiled map on a synthetic country (mapgen/CountryMap.h):
// - BM_BuildMap: `vxnav build-map` on the country's PBF, run as a child
//   process: wall time, peak resident memory (the child's), bytes per
//   feature of the file written;
// - BM_OpenCompiled: VroReaderOpen and VroRouteOpen on the compiled file,
//   each timed, and the process's resident memory after them; "cold" first
//   drops the file's pages from the page cache (posix_fadvise);
// - BM_FirstRoute: the first query of a fresh engine (its work arrays);
// - BM_Routes: routes across the map and of about 70 km, without and with a
//   block, over the overlay the compiled file holds;
// - BM_Search / BM_CrossEdge on the compiled file and on the imported PBF.
// The country, VX_COUNTRY_FEATURES features after the split at junctions
// (default 10,300,000), is written to the temporary directory at the first
// run and reused (never committed); VX_COMPARE=0 skips the import of the PBF
// for the comparisons (it takes minutes and gigabytes).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "bench/ReaderWork.h"
#include "interfaces/VroRead.h"
#include "interfaces/VroRoute.h"
#include "mapgen/CountryMap.h"
#include "network/FeatureBoxGrid.h"
#include "network/ReaderNetwork.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

std::uint64_t CountryFeatures() {
  const char* sz = std::getenv("VX_COUNTRY_FEATURES");
  return sz != nullptr ? std::strtoull(sz, nullptr, 10) : 10300000ull;
}

std::string TempName(const std::string& sExt) {
  return (std::filesystem::temp_directory_path() /
          ("vx_bench_country_" + std::to_string(CountryFeatures()) + sExt))
      .string();
}

// The country's PBF, written at the first call when it does not exist.
const std::string& CountryPbf() {
  static const std::string sPath = [] {
    const std::string s = TempName(".osm.pbf");
    if (!std::filesystem::exists(s)) {
      const std::string sTemp = s + ".part.osm.pbf";
      vxgen::WriteCountry(sTemp, vxgen::CountryOfSize(CountryFeatures()));
      std::filesystem::rename(sTemp, s);
    }
    return s;
  }();
  return sPath;
}

const std::string& CountryMap() {
  static const std::string s = TempName(".vxmap");
  return s;
}

double ResidentMb() {
  std::ifstream in("/proc/self/statm");
  long nPages = 0, nResident = 0;
  in >> nPages >> nResident;
  return static_cast<double>(nResident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1048576.0;
}

double Ms(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double, std::milli>(b - a).count();
}

void BM_BuildMap(benchmark::State& state) {
  const std::string& sPbf = CountryPbf();
  double dSeconds = 0, dPeakMb = 0;
  for (auto _ : state) {
    const char* argv[] = {VX_VXNAV, "build-map", sPbf.c_str(), CountryMap().c_str(), nullptr};
    pid_t pid = 0;
    const Clock::time_point t0 = Clock::now();
    if (posix_spawn(&pid, VX_VXNAV, nullptr, nullptr, const_cast<char**>(argv), environ) != 0) {
      state.SkipWithError("cannot run vxnav");
      return;
    }
    int nStatus = 0;
    rusage ru{};
    wait4(pid, &nStatus, 0, &ru);
    dSeconds = Ms(t0, Clock::now()) / 1000.0;
    dPeakMb = static_cast<double>(ru.ru_maxrss) / 1024.0;
    if (!WIFEXITED(nStatus) || WEXITSTATUS(nStatus) != 0) {
      state.SkipWithError("vxnav build-map failed");
      return;
    }
  }
  VRO_READER* h = VroReaderOpen(CountryMap().c_str());
  const double dFeatures = h != nullptr ? vxnet::NetworkOfReader(h)->FeatureCount() : 0.0;
  VroReaderClose(h);
  state.counters["seconds"] = dSeconds;
  state.counters["peak_rss_MB"] = dPeakMb;
  state.counters["features"] = dFeatures;
  state.counters["pbf_MB"] = static_cast<double>(std::filesystem::file_size(sPbf)) / 1048576.0;
  state.counters["file_MB"] =
      static_cast<double>(std::filesystem::file_size(CountryMap())) / 1048576.0;
  state.counters["bytes_per_feature"] =
      static_cast<double>(std::filesystem::file_size(CountryMap())) / dFeatures;
}
BENCHMARK(BM_BuildMap)->Iterations(1)->Unit(benchmark::kSecond);

// Opens and closes reader and engine; state.range(0) nonzero drops the file's
// pages from the page cache before each open.
void BM_OpenCompiled(benchmark::State& state) {
  double dReaderMs = 0, dRouteMs = 0, dRss = 0, dRssBefore = 0;
  for (auto _ : state) {
    if (state.range(0) != 0) {
      const int fd = open(CountryMap().c_str(), O_RDONLY);
      posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
      close(fd);
    }
    dRssBefore = ResidentMb();
    const Clock::time_point t0 = Clock::now();
    VRO_READER* h = VroReaderOpen(CountryMap().c_str());
    const Clock::time_point t1 = Clock::now();
    VRO_ROUTE* r = VroRouteOpen(h);
    const Clock::time_point t2 = Clock::now();
    if (h == nullptr || r == nullptr) {
      state.SkipWithError(VroReaderLastError());
      return;
    }
    dRss = ResidentMb();
    dReaderMs = Ms(t0, t1);
    dRouteMs = Ms(t1, t2);
    VroRouteClose(r);
    VroReaderClose(h);
  }
  state.counters["reader_open_ms"] = dReaderMs;
  state.counters["route_open_ms"] = dRouteMs;
  state.counters["rss_before_MB"] = dRssBefore;
  state.counters["rss_after_MB"] = dRss;
}
BENCHMARK(BM_OpenCompiled)->Arg(0)->Arg(1)->Iterations(5)->Unit(benchmark::kMillisecond);

// A fresh engine's first route across a tenth of the map, then a second.
void BM_FirstRoute(benchmark::State& state) {
  VRO_READER* h = VroReaderOpen(CountryMap().c_str());
  if (h == nullptr) {
    state.SkipWithError(VroReaderLastError());
    return;
  }
  const vxnet::NetworkView& net = *vxnet::NetworkOfReader(h);
  const Bin_LonLat a = net.points[net.points.size() / 2];
  const Bin_LonLat b = net.points[net.points.size() / 2 + net.points.size() / 100];
  double dFirst = 0, dSecond = 0;
  for (auto _ : state) {
    VRO_ROUTE* r = VroRouteOpen(h);
    for (double* pMs : {&dFirst, &dSecond}) {
      const Clock::time_point t0 = Clock::now();
      benchmark::DoNotOptimize(VroRouteFindPath(
          r, {a.lon / 1e5, a.lat / 1e5}, {b.lon / 1e5, b.lat / 1e5}, -1, 0, "fastest", 0, nullptr));
      *pMs = Ms(t0, Clock::now());
    }
    VroRouteClose(r);
  }
  state.counters["first_ms"] = dFirst;
  state.counters["second_ms"] = dSecond;
  state.counters["rss_MB"] = ResidentMb();
  VroReaderClose(h);
}
BENCHMARK(BM_FirstRoute)->Iterations(3)->Unit(benchmark::kMillisecond);

// Twenty routes on the compiled file, each timed alone: state.range(0) 0
// across the map (from the south-west tenth to the north-east tenth), 1
// about 70 km (end 60 km from the start as the crow flies), 2 across the map
// with a block on the middle feature of the route found without it. The
// counters give the median and the worst time, the mean route length and
// how many were found.
void BM_Routes(benchmark::State& state) {
  VRO_READER* h = VroReaderOpen(CountryMap().c_str());
  if (h == nullptr) {
    state.SkipWithError(VroReaderLastError());
    return;
  }
  const vxnet::NetworkView& net = *vxnet::NetworkOfReader(h);
  VRO_ROUTE* r = VroRouteOpen(h);
  const vxnet::BinBox box = vxnet::BoxOf(net.nodes);
  const double dW = box.nMaxLon - box.nMinLon, dH = box.nMaxLat - box.nMinLat;
  std::mt19937 rng(31);
  // A node within the given fractions of the map's box.
  const auto nodeIn = [&](double x0, double y0, double x1, double y1) {
    for (;;) {
      const Bin_LonLat& p = net.nodes[rng() % net.nodes.size()];
      const double x = (p.lon - box.nMinLon) / dW, y = (p.lat - box.nMinLat) / dH;
      if (x >= x0 && x <= x1 && y >= y0 && y <= y1) return tagLonLat{p.lon / 1e5, p.lat / 1e5};
    }
  };
  // The route's length and its middle feature.
  const auto retrieve = [&](double& dKm, VRO_FEATURE_ID& middle) {
    std::vector<VRO_FEATURE_ID> ids;
    dKm = 0;
    char c[6], s1[21], s2[301], s3[100];
    VRO_FEATURE_ID id{};
    double dLen = 0;
    tagLonLat* p = nullptr;
    if (VroRouteRetrieveStart(r) == 0) return;
    while (VroRouteRetrieveNextEdgeEx(r, c, s1, s2, s3, id, dLen, p) > 0) {
      dKm += dLen / 1000.0;
      ids.push_back(id);
    }
    if (!ids.empty()) middle = ids[ids.size() / 2];
  };
  std::vector<double> ms;
  double dKmSum = 0;
  int nRouted = 0;
  for (auto _ : state) {
    ms.clear();
    for (int q = 0; q < 20; ++q) {
      tagLonLat a, z;
      if (state.range(0) == 1) {
        a = nodeIn(0.1, 0.1, 0.9, 0.9);
        const double dAngle = (rng() % 360) * 3.14159265 / 180.0;
        z = {a.lon + 60.0 / 111.0 / std::cos(a.lat * 3.14159265 / 180.0) * std::cos(dAngle),
             a.lat + 60.0 / 111.0 * std::sin(dAngle)};
      } else {
        a = nodeIn(0.0, 0.0, 0.1, 0.1);
        z = nodeIn(0.9, 0.9, 1.0, 1.0);
      }
      double dKm = 0;
      VRO_FEATURE_ID middle{};
      if (state.range(0) == 2) {
        VroRouteFindPath(r, a, z, -1, 0, "fastest", 0, nullptr);
        retrieve(dKm, middle);
        VroRouteAddBlockEdge(r, middle);
      }
      const Clock::time_point t0 = Clock::now();
      const int n = VroRouteFindPath(r, a, z, -1, 0, "fastest", 0, nullptr);
      ms.push_back(Ms(t0, Clock::now()));
      VroRouteRemoveAllBlockEdge(r);
      if (n > 0) {
        retrieve(dKm, middle);
        dKmSum += dKm;
        ++nRouted;
      }
    }
  }
  std::sort(ms.begin(), ms.end());
  state.counters["median_ms"] = ms[ms.size() / 2];
  state.counters["worst_ms"] = ms.back();
  state.counters["mean_km"] = nRouted > 0 ? dKmSum / nRouted : 0.0;
  state.counters["routed"] = nRouted;
  VroRouteClose(r);
  VroReaderClose(h);
}
BENCHMARK(BM_Routes)->Arg(0)->Arg(1)->Arg(2)->Iterations(1)->Unit(benchmark::kMillisecond);

bool Compare() {
  const char* sz = std::getenv("VX_COMPARE");
  return sz == nullptr || std::string(sz) != "0";
}

// The two readers of the comparisons, opened once: compiled and imported.
const vxbench::Junctions& Readers(bool bCompiled) {
  static const vxbench::Junctions compiled = vxbench::Prepare(CountryMap(), 10000);
  static const vxbench::Junctions imported =
      Compare() ? vxbench::Prepare(CountryPbf(), 10000) : vxbench::Junctions{};
  return bCompiled ? compiled : imported;
}

void BM_Search(benchmark::State& state, bool bCompiled) {
  vxbench::RectSearch(state, Readers(bCompiled).hReader, static_cast<std::int32_t>(state.range(0)));
}
BENCHMARK_CAPTURE(BM_Search, compiled, true)->Arg(2)->Arg(500)->Arg(5000);
BENCHMARK_CAPTURE(BM_Search, imported, false)->Arg(2)->Arg(500)->Arg(5000);

void BM_CrossEdge(benchmark::State& state, bool bCompiled) {
  vxbench::CrossEdge(state, Readers(bCompiled));
}
BENCHMARK_CAPTURE(BM_CrossEdge, compiled, true)->Arg(0)->Arg(1);
BENCHMARK_CAPTURE(BM_CrossEdge, imported, false)->Arg(0)->Arg(1);

}  // namespace

BENCHMARK_MAIN();
