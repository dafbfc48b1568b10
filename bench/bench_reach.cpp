// Random start and destination points, tried as a new user would (anywhere
// in the map's box): how many pairs find no route when the engine snaps to
// the nearest road of any piece of the network, and when it snaps past the
// small pieces (the strongly connected components it stores). A plain
// program printing a table, not a timing benchmark. Maps: the real extracts
// in data/real/ and generated towns with islands (parking aisles and pieces
// cut off at the edge, one-way spurs into dead ends).
// Usage: bench_reach [pairs per map, default 2000]
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "interfaces/VroRoute.h"
#include "map/OsmImport.h"
#include "network/FeatureBoxGrid.h"
#include "network/Overlay.h"
#include "network/RouteGraphData.h"
#include "route/RouteHandle.h"

namespace {

// A grid town of nSide x nSide junctions 150 m apart (a tenth of the streets
// missing), with 60 separate short pieces and 40 one-way spurs into dead
// ends scattered over it.
vxnet::RoadNetwork IslandTown(int nSide, std::uint32_t nSeed) {
  std::mt19937 rng(nSeed);
  vxnet::RoadNetwork net;
  const auto node = [&](std::int32_t x, std::int32_t y) {
    net.nodes.push_back({1300000 + x, 5200000 + y});
    return static_cast<std::uint32_t>(net.nodes.size() - 1);
  };
  const auto road = [&](std::uint32_t a, std::uint32_t b, int nOneWay) {
    vxnet::Feature f{};
    f.nFirstPoint = static_cast<std::uint32_t>(net.points.size());
    f.nPointCount = 2;
    f.nFromNode = a;
    f.nToNode = b;
    f.nRoadClass = 7;
    f.nOneWay = static_cast<std::int8_t>(nOneWay);
    f.nFlags = vxnet::kRoutable;
    net.points.push_back(net.nodes[a]);
    net.points.push_back(net.nodes[b]);
    net.features.push_back(f);
  };
  for (int y = 0; y < nSide; ++y) {
    for (int x = 0; x < nSide; ++x) node(x * 200, y * 135);
  }
  for (int y = 0; y < nSide; ++y) {
    for (int x = 0; x < nSide; ++x) {
      const auto id = static_cast<std::uint32_t>(y * nSide + x);
      if (x + 1 < nSide && rng() % 10 != 0) road(id, id + 1, 0);
      if (y + 1 < nSide && rng() % 10 != 0) road(id, id + static_cast<std::uint32_t>(nSide), 0);
    }
  }
  const auto anywhere = [&] { return static_cast<std::int32_t>(rng() % (nSide * 180u)); };
  for (int k = 0; k < 60; ++k) {
    const std::int32_t x = anywhere(), y = anywhere();
    const std::uint32_t a = node(x, y), b = node(x + 60, y + 10), c = node(x + 60, y + 50);
    road(a, b, 0);
    road(b, c, 0);
  }
  for (int k = 0; k < 40; ++k) {
    const auto from = static_cast<std::uint32_t>(rng() % (nSide * nSide));
    const Bin_LonLat p = net.nodes[from];
    road(from, node(p.lon - 1300000 + 40, p.lat - 5200000 + 60), 1);
  }
  return net;
}

struct Count {
  int nPairs = 0, nNone = 0;
};

// Routes nPairs random pairs in the box of net's nodes.
Count Pairs(const vxnet::NetworkView& view, int nPairs, std::uint32_t nSeed) {
  VRO_ROUTE* h = vxroute::OpenRoute(view);
  const vxnet::BinBox box = vxnet::BoxOf(view.nodes);
  std::mt19937 rng(nSeed);
  std::uniform_real_distribution<double> ux(box.nMinLon, box.nMaxLon), uy(box.nMinLat, box.nMaxLat);
  Count c;
  for (int q = 0; q < nPairs; ++q) {
    const tagLonLat a{ux(rng) / 1e5, uy(rng) / 1e5}, z{ux(rng) / 1e5, uy(rng) / 1e5};
    ++c.nPairs;
    c.nNone += VroRouteFindPath(h, a, z, -1, 0, "fastest", 0, nullptr) < 0 ? 1 : 0;
  }
  VroRouteClose(h);
  return c;
}

void Report(const char* szName, vxnet::RoadNetwork& net, int nPairs) {
  net.grid = vxnet::BuildFeatureGrid(net.View());
  net.graph = vxnet::BuildRouteGraph(net.View());
  const Count before = Pairs(net.View(), nPairs, 5);  // a stored graph, no components
  net.overlay = vxnet::BuildOverlay(vxnet::StateGraph(net.View()));
  const Count after = Pairs(net.View(), nPairs, 5);
  std::printf("| %s | %zu | %d | %.2f %% | %.2f %% |\n", szName, net.features.size(), before.nPairs,
              100.0 * before.nNone / before.nPairs, 100.0 * after.nNone / after.nPairs);
}

}  // namespace

int main(int argc, char** argv) {
  const int nPairs = argc > 1 ? std::atoi(argv[1]) : 2000;
  std::printf(
      "| map | features | pairs | no route, nearest road of any piece | no route, "
      "small pieces passed |\n|---|---|---|---|---|\n");
  for (const char* szFile : {"istanbul-kadikoy.osm", "novi-sad.osm"}) {
    vxnet::RoadNetwork net;
    std::string sError;
    const std::string sPath = std::string(VX_SOURCE_DIR "/data/real/") + szFile;
    if (!vxmap::ImportRoadNetwork(sPath.c_str(), net, sError)) {
      std::fprintf(stderr, "%s\n", sError.c_str());
      return 1;
    }
    Report(szFile, net, nPairs);
  }
  for (const std::uint32_t nSeed : {1u, 2u, 3u}) {
    vxnet::RoadNetwork net = IslandTown(30, nSeed);
    Report(("generated town with islands, seed " + std::to_string(nSeed)).c_str(), net, nPairs);
  }
  return 0;
}
