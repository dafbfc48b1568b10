// The time per call of a function over a set of inputs, for the benchmarks
// that compare two contenders in one run: the best of 20 passes over all the
// inputs, in this thread's CPU time (so that other work on a shared machine
// does not count against the slower contender's longer passes).
#ifndef VX_BENCH_BESTPASS_H
#define VX_BENCH_BESTPASS_H

#include <benchmark/benchmark.h>

#include <algorithm>
#include <ctime>
#include <vector>

namespace vxbench {

inline double ThreadCpuNs() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) * 1e9 + static_cast<double>(ts.tv_nsec);
}

/// Nanoseconds per call of f on each element of v, the best of 20 passes.
template <class T, class F>
double BestNsPerCall(const std::vector<T>& v, F f) {
  double dBest = 1e30;
  for (int r = 0; r < 20; ++r) {
    const double t0 = ThreadCpuNs();
    for (const T& x : v) benchmark::DoNotOptimize(f(x));
    dBest = std::min(dBest, (ThreadCpuNs() - t0) / static_cast<double>(v.size()));
  }
  return dBest;
}

}  // namespace vxbench

#endif
