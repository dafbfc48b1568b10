// A large generated road map for the benchmarks that open one through the
// map reader: a square grid of streets written once as OpenStreetMap XML.
#ifndef VX_BENCH_BENCHGRID_H
#define VX_BENCH_BENCHGRID_H

#include <string>

namespace vxbench {

/// Junctions per side of the grid: 2 * 320 * 319 = 204,160 features.
constexpr int kGrid = 320;

/// The path of the grid file, written to the temporary directory at the
/// first call (residential rows and tertiary columns, one way each, 100 m
/// apart; junction (x, y) at 10.0 + 0.0015 x E, 50.0 + 0.0009 y N). Empty
/// when it cannot be written.
const std::string& LargeGridFile();

}  // namespace vxbench

#endif
