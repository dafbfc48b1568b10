// The reader work the map benchmarks time, on any map: GetCrossEdge at
// arrivals prepared from the map's features, and rectangle searches around
// map points.
#ifndef VX_BENCH_READERWORK_H
#define VX_BENCH_READERWORK_H

#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "CPath/CPath.h"
#include "interfaces/VroRead.h"

namespace vxbench {

// The guidance records of arrivals at the junctions of one map, with the
// points they refer to.
struct Junctions {
  VRO_READER* hReader = nullptr;
  std::vector<std::vector<tagLonLat>> points;
  std::vector<NavGuid> arrivals;
};

/// Opens the map once (the reader is kept open) and prepares nMax arrivals at
/// most (all when 0): whole features driven into one of their ends, in a
/// random order fixed by a seed.
Junctions Prepare(const std::string& sPath, std::size_t nMax);

/// One GetCrossEdge per iteration, cycling over the arrivals, with 16
/// entries; state.range(0) nonzero sets the one-way, turn and level checks.
void CrossEdge(benchmark::State& state, const Junctions& j);

/// One search per iteration: the rectangle of half side nHalf map units
/// around a map point drawn from the reader's features, reset, every feature
/// read; features per search as a counter.
void RectSearch(benchmark::State& state, VRO_READER* h, std::int32_t nHalf);

}  // namespace vxbench

#endif
