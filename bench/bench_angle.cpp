// GetAngle against std::atan2 on the same random point pairs, in one run;
// prints the ratio of the two times per call.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include "bench/BestPass.h"
#include "geometry/CAngleNum.h"

namespace {

struct Pair {
  double x1, y1, x2, y2;
};

const std::vector<Pair>& Pairs() {
  static const std::vector<Pair> pairs = [] {
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> lon(13.0, 13.1), lat(52.0, 52.1);
    std::vector<Pair> v(1 << 16);
    for (Pair& p : v) p = {lon(rng), lat(rng), lon(rng), lat(rng)};
    return v;
  }();
  return pairs;
}

void BM_GetAngle(benchmark::State& state) {
  const auto& pairs = Pairs();
  std::size_t i = 0;
  for (auto _ : state) {
    const Pair& p = pairs[i++ & (pairs.size() - 1)];
    benchmark::DoNotOptimize(CAngleNum<3600>::GetAngle(p.x1, p.y1, p.x2, p.y2));
  }
}
BENCHMARK(BM_GetAngle);

void BM_Atan2(benchmark::State& state) {
  const auto& pairs = Pairs();
  std::size_t i = 0;
  for (auto _ : state) {
    const Pair& p = pairs[i++ & (pairs.size() - 1)];
    benchmark::DoNotOptimize(std::atan2(p.y2 - p.y1, p.x2 - p.x1));
  }
}
BENCHMARK(BM_Atan2);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  const double dAngle = vxbench::BestNsPerCall(
      Pairs(), [](const Pair& p) { return CAngleNum<3600>::GetAngle(p.x1, p.y1, p.x2, p.y2); });
  const double dAtan2 = vxbench::BestNsPerCall(
      Pairs(), [](const Pair& p) { return std::atan2(p.y2 - p.y1, p.x2 - p.x1); });
  std::printf("GetAngle %.2f ns, atan2 %.2f ns, ratio GetAngle/atan2 = %.2f\n", dAngle, dAtan2,
              dAngle / dAtan2);
  return 0;
}
