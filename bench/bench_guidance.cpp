// Quality of guidance under GPS noise (not a timing benchmark): many seeded
// simulated drives with `vxnav drive`'s own code on the sample town and on
// generated town grids, at white and correlated (Gauss-Markov) noise of
// sigma 5, 10, 15 and 25 m, clean, with a missed turn and with a closure.
// Prints per map, model and sigma: false off-route events per hour of
// driving (drives without a missed turn), the delay from leaving the route
// to the off-route event after a missed turn (median, largest, never
// noticed), drives that arrived out of those with a route, and drives that
// ended standing. Usage: bench_guidance [drives per cell, default 20]
// [tolerance policy: accuracy (default) or fixed] [list: print the command
// line of every drive with a false off-route, an unnoticed miss or no arrival,
// the reasons after a "#"].
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "bench/BenchGrid.h"
#include "drive/DriveSession.h"

using namespace vxdrive;

namespace {

struct MapCase {
  std::string sName;
  std::string sFile;
  tagLonLat lo, hi;  // ends are drawn in this box
};

struct Cell {
  double dHours = 0.0;
  int nFalseOff = 0;
  std::vector<double> delays;
  int nMissed = 0;     // drives in which the driver missed a turn
  int nUnnoticed = 0;  // ... and no off-route came after it
  int nRouted = 0;     // drives with a route
  int nArrived = 0;
  int nStanding = 0;
};

enum class Scenario { kClean, kMissTurn, kClosure };

// Print the command line of every drive with a false off-route, a missed
// turn not noticed, or no arrival.
bool g_bList = false;

void RunOne(const MapCase& map, NoiseModel model, double dSigma, Scenario scenario, unsigned nSeed,
            vxnav::TolerancePolicy policy, Cell& cell) {
  std::mt19937_64 gen(nSeed * 7919u + static_cast<unsigned>(dSigma));
  std::uniform_real_distribution<double> lon(map.lo.lon, map.hi.lon), lat(map.lo.lat, map.hi.lat);
  DriveOptions o;
  o.sMap = map.sFile;
  o.bFromGiven = o.bToGiven = true;
  do {
    o.ptFrom = {lon(gen), lat(gen)};
    o.ptTo = {lon(gen), lat(gen)};
  } while (std::hypot((o.ptFrom.lon - o.ptTo.lon) * 0.64, o.ptFrom.lat - o.ptTo.lat) < 0.006);
  o.nSeed = nSeed;
  o.dNoise = dSigma;
  o.noiseModel = model;
  o.tolerancePolicy = policy;
  o.nMissTurn = scenario == Scenario::kMissTurn ? 1 + static_cast<int>(gen() % 3) : 0;
  o.dClosure = scenario == Scenario::kClosure ? 200.0 + static_cast<double>(gen() % 400) : -1.0;
  std::ostringstream out, err;
  DriveRecord rec;
  const int nExit = RunDrive(o, out, err, &rec);
  if (rec.routes.empty()) {
    return;  // no route between the ends
  }
  ++cell.nRouted;
  cell.nArrived += nExit == 0;
  double dEnd = rec.fixes.empty() ? 0.0 : rec.fixes.back().dTime;
  bool bNoticed = false;
  for (const DriveEvent& e : rec.events) {
    cell.nStanding += e.kind == LogKind::kStop;
    if (e.kind != LogKind::kOffRoute) {
      continue;
    }
    if (rec.dMissTime >= 0 && e.dTime >= rec.dMissTime) {
      if (!bNoticed) {
        cell.delays.push_back(e.dTime - rec.dMissTime);
      }
      bNoticed = true;
    } else if (rec.dMissTime < 0) {
      ++cell.nFalseOff;
    }
  }
  const bool bFalse = rec.dMissTime < 0 &&
                      std::any_of(rec.events.begin(), rec.events.end(),
                                  [](const DriveEvent& e) { return e.kind == LogKind::kOffRoute; });
  const bool bUnnoticed = rec.dMissTime >= 0 && !bNoticed;
  if (g_bList && (bFalse || nExit != 0 || bUnnoticed)) {
    std::printf(
        "  vxnav drive --map %s --from %.6f,%.6f --to %.6f,%.6f --seed %u --noise %.0f%s%s%s"
        "   #%s%s%s\n",
        map.sFile.c_str(), o.ptFrom.lon, o.ptFrom.lat, o.ptTo.lon, o.ptTo.lat, nSeed, dSigma,
        model == NoiseModel::kGaussMarkov ? " --noise-model gauss-markov" : "",
        o.nMissTurn > 0 ? (" --miss-turn " + std::to_string(o.nMissTurn)).c_str() : "",
        o.dClosure >= 0 ? (" --closure " + std::to_string(static_cast<int>(o.dClosure))).c_str()
                        : "",
        bFalse ? " false off-route" : "", bUnnoticed ? " missed turn unnoticed" : "",
        nExit != 0 ? " not arrived" : "");
  }
  if (rec.dMissTime >= 0) {
    ++cell.nMissed;
    cell.nUnnoticed += !bNoticed;
  } else {
    cell.dHours += dEnd / 3600.0;
  }
}

double Median(std::vector<double> v) {
  if (v.empty()) {
    return -1;
  }
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const int nDrives = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
  const vxnav::TolerancePolicy policy = argc > 2 && std::string(argv[2]) == "fixed"
                                            ? vxnav::TolerancePolicy::kFixed
                                            : vxnav::TolerancePolicy::kAccuracy;
  g_bList = argc > 3 && std::string(argv[3]) == "list";
  std::vector<MapCase> maps;
  maps.push_back({"sample town",
                  std::string(VX_SOURCE_DIR) + "/data/sample-town.osm",
                  {13.3930, 52.4960},
                  {13.4070, 52.5045}});
  for (unsigned nSeed : {1u, 2u}) {
    MapCase m{"grid " + std::to_string(nSeed), vxbench::TownGridFile(14, nSeed), {}, {}};
    vxbench::TownGridCorner(14, false, m.lo.lon, m.lo.lat);
    vxbench::TownGridCorner(14, true, m.hi.lon, m.hi.lat);
    maps.push_back(m);
  }
  std::printf("%d drives per map, sigma and scenario; tolerance policy %s\n", nDrives,
              policy == vxnav::TolerancePolicy::kFixed ? "fixed" : "accuracy");
  std::printf("%-12s %-12s %5s | %8s %7s | %7s %6s %6s %10s | %8s %8s\n", "model", "map", "sigma",
              "h driven", "false/h", "missed", "median", "max", "unnoticed", "arrived", "standing");
  for (const NoiseModel model : {NoiseModel::kWhite, NoiseModel::kGaussMarkov}) {
    for (const double dSigma : {5.0, 10.0, 15.0, 25.0}) {
      Cell all;
      for (const MapCase& map : maps) {
        Cell cell;
        for (int i = 0; i < nDrives; ++i) {
          for (const Scenario sc : {Scenario::kClean, Scenario::kMissTurn, Scenario::kClosure}) {
            RunOne(map, model, dSigma, sc, static_cast<unsigned>(i + 1), policy, cell);
          }
        }
        const double dMax =
            cell.delays.empty() ? -1 : *std::max_element(cell.delays.begin(), cell.delays.end());
        std::printf("%-12s %-12s %5.0f | %8.2f %7.2f | %7d %6.0f %6.0f %10d | %4d/%-4d %8d\n",
                    model == NoiseModel::kWhite ? "white" : "gauss-markov", map.sName.c_str(),
                    dSigma, cell.dHours, cell.dHours > 0 ? cell.nFalseOff / cell.dHours : 0.0,
                    cell.nMissed, Median(cell.delays), dMax, cell.nUnnoticed, cell.nArrived,
                    cell.nRouted, cell.nStanding);
        std::fflush(stdout);
      }
    }
  }
}
