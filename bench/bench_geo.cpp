// SegmentLength against GeographicLib's geodesic inverse on the same random
// segments, in one run: road segments (1 m to 1 km) and long ones (10 km to
// 20,000 km, where SegmentLength hands over to GeographicLib); prints the time
// per call of both (best pass, thread CPU time) and their ratio.
#include <benchmark/benchmark.h>

#include <GeographicLib/Geodesic.hpp>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include "bench/BestPass.h"
#include "interfaces/VroGeo.h"

namespace {

struct Segment {
  tagLonLat a, b;
};

// 65,536 segments from a point anywhere on the earth (uniform by area), in a
// random direction, of a geodesic length log-uniform in [dMin, dMax] metres.
std::vector<Segment> MakeSegments(double dMin, double dMax) {
  std::mt19937_64 rng(11);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  std::vector<Segment> v(1 << 16);
  for (Segment& s : v) {
    s.a = {360 * u(rng) - 180, std::asin(2 * u(rng) - 1) * 57.29577951308232};
    GeographicLib::Geodesic::WGS84().Direct(s.a.lat, s.a.lon, 360 * u(rng) - 180,
                                            dMin * std::pow(dMax / dMin, u(rng)), s.b.lat, s.b.lon);
  }
  return v;
}

const std::vector<Segment>& Segments(int nKind) {
  static const std::vector<Segment> road = MakeSegments(1.0, 1e3);
  static const std::vector<Segment> far = MakeSegments(1e4, 2e7);
  return nKind == 0 ? road : far;
}

double Inverse(const Segment& s) {
  double s12 = 0;
  GeographicLib::Geodesic::WGS84().Inverse(s.a.lat, s.a.lon, s.b.lat, s.b.lon, s12);
  return s12;
}

double Segment_(const Segment& s) { return SegmentLength(s.a, s.b); }

template <double (*F)(const Segment&)>
void BM_Length(benchmark::State& state) {
  const auto& v = Segments(static_cast<int>(state.range(0)));
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(F(v[i++ & (v.size() - 1)]));
  }
}
// Argument 0: road segments; 1: long segments.
BENCHMARK(BM_Length<Segment_>)->Name("BM_SegmentLength")->Arg(0)->Arg(1);
BENCHMARK(BM_Length<Inverse>)->Name("BM_GeographicLibInverse")->Arg(0)->Arg(1);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  for (int nKind : {0, 1}) {
    const auto& v = Segments(nKind);
    const double dOurs = vxbench::BestNsPerCall(v, Segment_);
    const double dRef = vxbench::BestNsPerCall(v, Inverse);
    std::printf("%s segments: SegmentLength %.1f ns, GeographicLib Inverse %.1f ns, ratio %.1f\n",
                nKind == 0 ? "road (1 m - 1 km)" : "long (10 km - 20,000 km)", dOurs, dRef,
                dRef / dOurs);
  }
  return 0;
}
