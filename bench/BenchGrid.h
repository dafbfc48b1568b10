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

/// A small generated town for the guidance benchmark: a grid of n x n
/// junctions 150 m apart near (10.0 E, 50.0 N), residential streets with
/// every fourth row and column a 50 km/h main road, some streets one way and
/// some blocks' streets left out (dead ends and detours), chosen by the seed.
/// Written to the temporary directory; returns its path, empty when it
/// cannot be written. The corners: TownGridCorner.
std::string TownGridFile(int n, unsigned nSeed);

/// The south-west (bNorthEast false) or north-east corner of TownGridFile's
/// grid of n x n junctions, longitude and latitude in degrees.
void TownGridCorner(int n, bool bNorthEast, double& dLon, double& dLat);

}  // namespace vxbench

#endif
