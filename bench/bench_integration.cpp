// Junction description on the real map reader: GetCrossEdge per call at the
// junctions of the sample town and of the large generated grid, without and
// with the one-way, turn and level checks. Every arrival is a whole feature
// driven into one of its ends; the calls cycle over all of them (the town)
// or over 10,000 chosen at random (the grid).
#include <benchmark/benchmark.h>

#include <string>

#include "bench/BenchGrid.h"
#include "bench/ReaderWork.h"

namespace {

using vxbench::CrossEdge;
using vxbench::Junctions;
using vxbench::Prepare;

const Junctions& SampleTown() {
  static const Junctions j = Prepare(std::string(VX_SOURCE_DIR) + "/data/sample-town.osm", 0);
  return j;
}
const Junctions& LargeGrid() {
  static const Junctions j = Prepare(vxbench::LargeGridFile(), 10000);
  return j;
}

void BM_CrossEdgeSampleTown(benchmark::State& state) { CrossEdge(state, SampleTown()); }
BENCHMARK(BM_CrossEdgeSampleTown)->Arg(0)->Arg(1);

void BM_CrossEdgeLargeGrid(benchmark::State& state) { CrossEdge(state, LargeGrid()); }
BENCHMARK(BM_CrossEdgeLargeGrid)->Arg(0)->Arg(1);

}  // namespace

BENCHMARK_MAIN();
