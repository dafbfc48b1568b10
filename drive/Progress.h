// A progress line on the error stream while a long load runs.
#ifndef VX_DRIVE_PROGRESS_H
#define VX_DRIVE_PROGRESS_H

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <future>
#include <ostream>
#include <string>

namespace vxdrive {

/// Inputs of at least this many bytes get a progress line.
constexpr std::uintmax_t kProgressBytes = 2u << 20;

/// Writes "vxnav: loading WHAT (N MB) ... S s" to err while fn runs on a worker
/// thread, updated every second (in place on a terminal, a new line
/// otherwise), and "vxnav: loaded WHAT in S s" at the end; quiet for inputs
/// below kProgressBytes. Returns fn's result.
template <class Fn>
auto WithProgress(std::ostream& err, bool bTerminal, const std::string& sWhat,
                  std::uintmax_t nBytes, Fn fn) -> decltype(fn()) {
  if (nBytes < kProgressBytes) {
    return fn();
  }
  using Clock = std::chrono::steady_clock;
  const Clock::time_point start = Clock::now();
  auto seconds = [&] { return std::chrono::duration<double>(Clock::now() - start).count(); };
  const double dMb = static_cast<double>(nBytes) / (1 << 20);
  char szSize[32];
  std::snprintf(szSize, sizeof szSize, "%.1f MB", dMb);
  const std::string sHead = "vxnav: loading " + sWhat + " (" + szSize + ")";
  err << sHead << " ..." << (bTerminal ? "" : "\n") << std::flush;
  auto job = std::async(std::launch::async, fn);
  while (job.wait_for(std::chrono::seconds(1)) != std::future_status::ready) {
    char sz[32];
    std::snprintf(sz, sizeof sz, " ... %.0f s", seconds());
    err << (bTerminal ? "\r" : "") << sHead << sz << (bTerminal ? "" : "\n") << std::flush;
  }
  char sz[32];
  std::snprintf(sz, sizeof sz, " in %.1f s", seconds());
  err << (bTerminal ? "\r\033[K" : "") << "vxnav: loaded " << sWhat << sz << "\n" << std::flush;
  return job.get();
}

}  // namespace vxdrive

#endif
