// Matching position fixes to a long route: the public TestPoint against two
// Boost.Geometry peers that answer the same question (the nearest point of
// the route to the fix), a brute-force scan of every segment and an rtree of
// the segments; and the geodesic floor, the length over the rest of the
// current edge that every on-route match must measure.
//
// Routes: 20-point edges of about 100 m along a meandering road heading east
// (10,000 edges, about 1,000 km; and ten times that for flatness). Fixes:
// positions every 25 m along the route in the order of travel, with 5 m of
// Gaussian noise and a heading within about 5 degrees of the road's; each fix
// passes the previous result as the last announced item, as an application
// does.
//
// Google Benchmark reports the mean per fix of each contender; the summary
// printed after it gives the median per fix, timed one fix at a time, and
// the ratios. Built twice: bench_matching with the geodesic library, and
// bench_matching_local with the cheap plane measures of LocalGeo.cpp.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <boost/geometry.hpp>
#include <boost/geometry/index/rtree.hpp>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <memory>
#include <random>
#include <vector>

#include "CPath/CPath.h"
#include "interfaces/VroGeo.h"

namespace bg = boost::geometry;
namespace bgi = boost::geometry::index;

namespace {

using BPoint = bg::model::point<double, 2, bg::cs::cartesian>;
using BSegment = bg::model::segment<BPoint>;
using BTree = bgi::rtree<BSegment, bgi::quadratic<16>>;

constexpr double kPi = 3.14159265358979323846;
constexpr double kMetresPerDegree = 111195.0;  // on a sphere of the mean radius
constexpr unsigned short kEdgePoints = 20;
constexpr double kStepMetres = 100.0 / (kEdgePoints - 1);
constexpr double kTol = 30.0;
// One fix every 25 m of road, as a vehicle at 90 km/h reports once a second.
constexpr double kFixSpacing = 25.0;

// Opens the protected match so the floor can be measured on the same matches.
class BenchPath : public CPath {
 public:
  using CPath::TestPoint;
};

struct Fix {
  tagLonLat pt;
  double dAngle;
};

// The rest of the current edge after a match: what dDist needs.
struct Rest {
  const tagLonLat* pPts;
  unsigned short wCount;
  tagLonLat ptClose;
};

struct Route {
  BenchPath path;
  std::vector<tagLonLat> pts;  // every point, edges joined
  std::vector<BSegment> segments;
  std::unique_ptr<BTree> tree;
  std::vector<Fix> fixes;
  std::vector<Rest> rests;
};

// A road heading east that meanders: its direction follows a slow random
// process around east, its points 5.3 m apart.
Route* BuildRoute(int nEdges) {
  auto* r = new Route;
  std::mt19937_64 rng(2024 + nEdges);
  std::normal_distribution<double> turn(0.0, 0.02);
  double dHeading = 0.0;  // radians counterclockwise from east
  tagLonLat pt = {-40.0, 45.0};
  r->pts.push_back(pt);
  std::vector<tagLonLat> edge(kEdgePoints);
  const VRO_FEATURE_ID idBase = {{0, 0, 0, 7}};
  for (int e = 0; e < nEdges; ++e) {
    edge[0] = pt;
    for (unsigned short i = 1; i < kEdgePoints; ++i) {
      dHeading += turn(rng) - 0.002 * dHeading;  // pulled back toward east
      const double dCos = std::cos(pt.lat * kPi / 180.0);
      pt.lon += kStepMetres * std::cos(dHeading) / (kMetresPerDegree * dCos);
      pt.lat += kStepMetres * std::sin(dHeading) / kMetresPerDegree;
      edge[i] = pt;
      r->pts.push_back(pt);
    }
    VRO_FEATURE_ID id = idBase;
    id.dw[0] = static_cast<std::uint32_t>(e);
    r->path.AddEdge("R000", "R1", "Main Road", "3", kEdgePoints, edge.data(), id,
                    kStepMetres * (kEdgePoints - 1));
  }
  for (std::size_t i = 0; i + 1 < r->pts.size(); ++i) {
    r->segments.emplace_back(BPoint(r->pts[i].lon, r->pts[i].lat),
                             BPoint(r->pts[i + 1].lon, r->pts[i + 1].lat));
  }
  r->tree = std::make_unique<BTree>(r->segments);  // packed build
  std::normal_distribution<double> noise(0.0, 5.0), dir(0.0, 5.0);
  const std::size_t nSegments = r->pts.size() - 1;
  const std::size_t nFixes = static_cast<std::size_t>(nSegments * kStepMetres / kFixSpacing) - 1;
  for (std::size_t f = 0; f < nFixes; ++f) {
    const double dAt = (f + 0.5) * kFixSpacing / kStepMetres;  // in segments
    const std::size_t i = static_cast<std::size_t>(dAt);
    const double t = dAt - static_cast<double>(i);
    const tagLonLat& a = r->pts[i];
    const tagLonLat& b = r->pts[i + 1];
    const double dCos = std::cos(a.lat * kPi / 180.0);
    Fix fix;
    fix.pt.lon = a.lon + t * (b.lon - a.lon) + noise(rng) / (kMetresPerDegree * dCos);
    fix.pt.lat = a.lat + t * (b.lat - a.lat) + noise(rng) / kMetresPerDegree;
    double dDeg = std::atan2(b.lat - a.lat, b.lon - a.lon) * 180.0 / kPi + dir(rng);
    fix.dAngle = dDeg < 0 ? dDeg + 360.0 : dDeg;
    r->fixes.push_back(fix);
    unsigned short w = 0;
    tagLonLat ptClose;
    const CPath::NavEdge* pEdge = r->path.TestPoint(fix.pt, kTol, w, ptClose, fix.dAngle, nullptr);
    if (w + 1 == pEdge->wPtNum) {  // on the node: the rest is the next edge
      pEdge = pEdge->pNext;
      w = 0;
    }
    r->rests.push_back({pEdge->pts + w, static_cast<unsigned short>(pEdge->wPtNum - w), ptClose});
  }
  return r;
}

Route& GetRoute(int nEdges) {
  static std::unique_ptr<Route> s_small, s_large;
  std::unique_ptr<Route>& r = nEdges <= 10000 ? s_small : s_large;
  if (!r) r.reset(BuildRoute(nEdges));
  return *r;
}

// The contenders, one fix each. Each returns something that depends on the
// answer so that the work is not optimised away.
struct Matcher {
  Route& r;
  NavGuid nav{};
  PathGuid last{};  // the item last announced: the current edge's
  bool bHaveLast = false;

  double TestPoint(const Fix& f) {
    const int n = r.path.TestPoint(f.pt, kTol, nav, f.dAngle, bHaveLast ? &last : nullptr);
    bHaveLast = n == 1;
    if (bHaveLast) last.idEdge = nav.idEdge;
    return nav.ptClose.lon;
  }
};

// Nearest point of a plane segment to p, as the peers finish their answer.
BPoint Project(const BPoint& p, const BSegment& s) {
  const double x0 = bg::get<0, 0>(s), y0 = bg::get<0, 1>(s);
  const double dx = bg::get<1, 0>(s) - x0, dy = bg::get<1, 1>(s) - y0;
  const double dLen2 = dx * dx + dy * dy;
  double t = dLen2 > 0 ? ((bg::get<0>(p) - x0) * dx + (bg::get<1>(p) - y0) * dy) / dLen2 : 0.0;
  t = std::clamp(t, 0.0, 1.0);
  return BPoint(x0 + t * dx, y0 + t * dy);
}

double BruteForce(const Route& r, const Fix& f) {
  const BPoint p(f.pt.lon, f.pt.lat);
  double dBest = 1e300;
  std::size_t nBest = 0;
  for (std::size_t i = 0; i < r.segments.size(); ++i) {
    const double d = bg::comparable_distance(p, r.segments[i]);
    if (d < dBest) {
      dBest = d;
      nBest = i;
    }
  }
  return bg::get<0>(Project(p, r.segments[nBest]));
}

double RTree(const Route& r, const Fix& f) {
  const BPoint p(f.pt.lon, f.pt.lat);
  BSegment s;
  r.tree->query(bgi::nearest(p, 1), &s);
  return bg::get<0>(Project(p, s));
}

double Floor(const Rest& rest) {
  return LineLength(static_cast<unsigned short>(rest.wCount - 1), rest.pPts + 1) +
         SegmentLength(rest.ptClose, rest.pPts[1]);
}

// Runs fn on the fixes in turn, one a benchmark iteration.
template <class F>
void LoopFixes(benchmark::State& state, std::size_t nCount, F&& fn) {
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(fn(i));
    i = i + 1 == nCount ? 0 : i + 1;
  }
}

void BM_TestPoint(benchmark::State& state) {
  Route& r = GetRoute(static_cast<int>(state.range(0)));
  Matcher m{r};
  LoopFixes(state, r.fixes.size(), [&](std::size_t i) { return m.TestPoint(r.fixes[i]); });
}
BENCHMARK(BM_TestPoint)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);

void BM_GeodesicFloor(benchmark::State& state) {
  Route& r = GetRoute(static_cast<int>(state.range(0)));
  LoopFixes(state, r.rests.size(), [&](std::size_t i) { return Floor(r.rests[i]); });
}
BENCHMARK(BM_GeodesicFloor)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);

void BM_BoostRTree(benchmark::State& state) {
  Route& r = GetRoute(static_cast<int>(state.range(0)));
  LoopFixes(state, r.fixes.size(), [&](std::size_t i) { return RTree(r, r.fixes[i]); });
}
BENCHMARK(BM_BoostRTree)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);

void BM_BoostBruteForce(benchmark::State& state) {
  Route& r = GetRoute(static_cast<int>(state.range(0)));
  LoopFixes(state, r.fixes.size(), [&](std::size_t i) { return BruteForce(r, r.fixes[i]); });
}
BENCHMARK(BM_BoostBruteForce)->Arg(10000)->Unit(benchmark::kMicrosecond);

// Median in microseconds of fn over the fixes (every nStep-th), one at a
// time, after one untimed pass.
template <class F>
double MedianMicros(std::size_t nCount, std::size_t nStep, F&& fn) {
  std::vector<double> times;
  double dSink = 0;
  for (int pass = 0; pass < 2; ++pass) {
    for (std::size_t i = 0; i < nCount; i += nStep) {
      const auto t0 = std::chrono::steady_clock::now();
      dSink += fn(i);
      const auto t1 = std::chrono::steady_clock::now();
      if (pass == 1) times.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
    }
  }
  benchmark::DoNotOptimize(dSink);
  std::nth_element(times.begin(), times.begin() + times.size() / 2, times.end());
  return times[times.size() / 2];
}

void PrintSummary(int nEdges, bool bBrute, double& dTestPoint) {
  Route& r = GetRoute(nEdges);
  Matcher m{r};
  dTestPoint =
      MedianMicros(r.fixes.size(), 1, [&](std::size_t i) { return m.TestPoint(r.fixes[i]); });
  const double dFloor =
      MedianMicros(r.rests.size(), 1, [&](std::size_t i) { return Floor(r.rests[i]); });
  const double dTree =
      MedianMicros(r.fixes.size(), 1, [&](std::size_t i) { return RTree(r, r.fixes[i]); });
  std::printf("route %d edges, %zu points: median per fix\n", nEdges, r.pts.size());
  std::printf("  TestPoint       %9.3f us\n", dTestPoint);
  std::printf("  geodesic floor  %9.3f us   TestPoint / floor = %.2f\n", dFloor,
              dTestPoint / dFloor);
  std::printf("  Boost rtree     %9.3f us   rtree / TestPoint = %.2f\n", dTree, dTree / dTestPoint);
  if (bBrute) {
    const double dBrute =
        MedianMicros(r.fixes.size(), 200, [&](std::size_t i) { return BruteForce(r, r.fixes[i]); });
    std::printf("  Boost brute     %9.3f us   brute / TestPoint = %.2f\n", dBrute,
                dBrute / dTestPoint);
  }
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  double dSmall = 0, dLarge = 0;
  PrintSummary(10000, true, dSmall);
  PrintSummary(100000, false, dLarge);
  std::printf("flatness: TestPoint 100,000 edges / 10,000 edges = %.2f\n", dLarge / dSmall);
  benchmark::Shutdown();
  return 0;
}
