// The route engine on road networks built here: one-way marks, forbidden
// turns, blocks, cost modes, partial edges, turning back, the start heading,
// the texts handed out and the exactness of the handed-out coordinates.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <numbers>
#include <queue>
#include <random>
#include <set>
#include <span>
#include <string>
#include <tuple>
#include <vector>

#include "CPath/CPath.h"
#include "interfaces/VroGeo.h"
#include "interfaces/VroRead.h"
#include "interfaces/VroRoute.h"
#include "map/OsmImport.h"
#include "network/CellPartition.h"
#include "network/FeatureBoxGrid.h"
#include "network/FeatureId.h"
#include "network/ReaderNetwork.h"
#include "route/DegreePoint.h"
#include "route/RouteGraph.h"
#include "route/RouteHandle.h"
#include "tests/SketchMap.h"

namespace {

using vxnet::Feature;
using vxnet::NetworkView;
using vxnet::RoadNetwork;
using vxtest::SketchMap;
using vxtest::SketchReader;

constexpr std::int32_t kBaseLon = 1300000;  // 13.0 degrees
constexpr std::int32_t kBaseLat = 5200000;  // 52.0 degrees

/// Builds a network in map units relative to (13.0, 52.0).
struct NetBuilder {
  RoadNetwork net;

  std::uint32_t Node(std::int32_t x, std::int32_t y) {
    net.nodes.push_back({kBaseLon + x, kBaseLat + y});
    return static_cast<std::uint32_t>(net.nodes.size() - 1);
  }
  /// A road from node a to node b through the given inner points.
  std::uint32_t Road(std::uint32_t a, std::uint32_t b, int nOneWay = 0, unsigned nClass = 7,
                     std::uint16_t nMaxSpeed = 0, const std::string& name = "",
                     const std::vector<Bin_LonLat>& inner = {}) {
    Feature f{};
    f.nFirstPoint = static_cast<std::uint32_t>(net.points.size());
    net.points.push_back(net.nodes[a]);
    for (const Bin_LonLat& p : inner) {
      net.points.push_back({kBaseLon + p.lon, kBaseLat + p.lat});
    }
    net.points.push_back(net.nodes[b]);
    f.nPointCount = static_cast<std::uint32_t>(inner.size() + 2);
    f.nFromNode = a;
    f.nToNode = b;
    f.nOneWay = static_cast<std::int8_t>(nOneWay);
    f.nRoadClass = static_cast<std::uint8_t>(nClass);
    f.nMaxSpeed = nMaxSpeed;
    f.nFlags = vxnet::kRoutable;
    if (!name.empty()) {
      f.nName = net.names.Add(name);
    }
    net.features.push_back(f);
    return static_cast<std::uint32_t>(net.features.size() - 1);
  }
  void Forbid(std::uint32_t from, std::uint32_t via, std::uint32_t to) {
    net.forbidden.push_back({from, via, to});
    std::sort(net.forbidden.begin(), net.forbidden.end(), [](const auto& x, const auto& y) {
      return std::tie(x.nFrom, x.nVia, x.nTo) < std::tie(y.nFrom, y.nVia, y.nTo);
    });
  }
};

tagLonLat At(std::int32_t x, std::int32_t y) {
  return {(kBaseLon + x) / 100000.0, (kBaseLat + y) / 100000.0};
}

struct Edge {
  std::string code, str1, name, attr;
  std::uint32_t nFeature = 0;
  bool bReversed = false;
  double dLen = 0;
  std::vector<tagLonLat> pts;
};

bool Same(const tagLonLat& a, const tagLonLat& b) { return a.lon == b.lon && a.lat == b.lat; }

/// Retrieves the found route and checks what every route must satisfy:
/// edges join exactly, every coordinate truncates back to the map's integer
/// units, lengths are the geodesic lengths of the points, texts fit.
std::vector<Edge> Retrieve(VRO_ROUTE* h) {
  std::vector<Edge> edges;
  EXPECT_NE(VroRouteRetrieveStart(h), 0);
  for (int nGuard = 0; nGuard < 10000; ++nGuard) {
    char szCode[6], szStr1[21], szStr2[301], szAttr[100];
    VRO_FEATURE_ID id{};
    double dLen = -1;
    tagLonLat* pPts = nullptr;
    const int n = VroRouteRetrieveNextEdgeEx(h, szCode, szStr1, szStr2, szAttr, id, dLen, pPts);
    if (n <= 0) {
      break;
    }
    Edge e;
    e.code = szCode;
    e.str1 = szStr1;
    e.name = szStr2;
    e.attr = szAttr;
    EXPECT_TRUE(vxnet::DecodeFeatureId(id, e.nFeature, e.bReversed));
    e.dLen = dLen;
    e.pts.assign(pPts, pPts + n);
    EXPECT_GE(n, 2);
    EXPECT_DOUBLE_EQ(dLen, LineLength(static_cast<unsigned short>(n), pPts));
    EXPECT_EQ(e.code.size(), 5u);
    EXPECT_TRUE(e.code[3] == '+' || e.code[3] == '0') << e.code;
    EXPECT_EQ(e.str1[0], 'R');
    for (const tagLonLat& p : e.pts) {
      const double x = p.lon * 100000.0, y = p.lat * 100000.0;
      EXPECT_EQ(std::trunc(x), std::round(x)) << p.lon;
      EXPECT_EQ(std::trunc(y), std::round(y)) << p.lat;
    }
    if (!edges.empty()) {
      EXPECT_TRUE(Same(edges.back().pts.back(), e.pts.front())) << "edge " << edges.size();
    }
    edges.push_back(e);
  }
  VroRouteReset(h);
  return edges;
}

/// Checks a route against the network's rules: no feature driven against its
/// one-way mark, no forbidden turn, turning back only where nothing else
/// leaves the node, and every joint exactly on the network node where the
/// features meet (a junction found by truncating the joint's coordinates).
void CheckRules(const NetworkView& net, const std::vector<Edge>& edges) {
  std::vector<int> nDegree(net.nodes.size(), 0);
  for (const Feature& f : net.features) {
    if (f.IsRoutable() && f.nFromNode < nDegree.size() && f.nToNode < nDegree.size()) {
      ++nDegree[f.nFromNode];
      ++nDegree[f.nToNode];
    }
  }
  for (std::size_t i = 0; i < edges.size(); ++i) {
    const Edge& e = edges[i];
    ASSERT_LT(e.nFeature, net.features.size());
    const Feature& f = net.features[e.nFeature];
    EXPECT_TRUE(f.IsRoutable());
    EXPECT_TRUE(f.nOneWay == 0 || (f.nOneWay > 0) != e.bReversed) << "edge " << i;
    if (i + 1 == edges.size()) {
      break;
    }
    const Edge& next = edges[i + 1];
    const std::uint32_t v = e.bReversed ? f.nFromNode : f.nToNode;
    const Bin_LonLat junction{static_cast<std::int32_t>(std::trunc(e.pts.back().lon * 100000.0)),
                              static_cast<std::int32_t>(std::trunc(e.pts.back().lat * 100000.0))};
    EXPECT_EQ(junction.lon, net.nodes[v].lon) << "edge " << i;
    EXPECT_EQ(junction.lat, net.nodes[v].lat) << "edge " << i;
    for (const vxnet::ForbiddenTurn& t : net.forbidden) {
      EXPECT_FALSE(t.nFrom == e.nFeature && t.nVia == v && t.nTo == next.nFeature)
          << "forbidden turn at edge " << i;
    }
    if (next.nFeature == e.nFeature && next.bReversed != e.bReversed) {
      EXPECT_EQ(nDegree[v], 1) << "turned back at edge " << i;
    }
  }
}

std::vector<std::uint32_t> Features(const std::vector<Edge>& edges) {
  std::vector<std::uint32_t> v;
  for (const Edge& e : edges) {
    v.push_back(e.nFeature);
  }
  return v;
}

/// A handle that closes itself.
struct Engine {
  explicit Engine(const RoadNetwork& net) : h(vxroute::OpenRoute(net.View())) {}
  ~Engine() { VroRouteClose(h); }
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;
  int Find(const tagLonLat& a, const tagLonLat& b, double dAngle = -1,
           const char* szMode = "fastest", double dTurn = 0, double dUTurn = 0) const {
    return VroRouteFindPath(h, a, b, dAngle, dTurn, szMode, dUTurn, nullptr);
  }
  VRO_ROUTE* h;
};

// A square block A(0,0) B(1000,0) C(1000,1000) D(0,1000), 0.01 degree a side.
struct Square {
  NetBuilder b;
  std::uint32_t A, B, C, D, ab, bc, cd, da;
  explicit Square(int nOneWayAB) {
    A = b.Node(0, 0);
    B = b.Node(1000, 0);
    C = b.Node(1000, 1000);
    D = b.Node(0, 1000);
    ab = b.Road(A, B, nOneWayAB);
    bc = b.Road(B, C);
    cd = b.Road(C, D);
    da = b.Road(D, A);
  }
};

TEST(RouteEngine, OneWayMarksAreHonoured) {
  for (int nMark : {1, -1}) {
    Square sq(nMark);
    Engine e(sq.b.net);
    // With the one-way direction: the road itself.
    const tagLonLat from = nMark > 0 ? At(0, 0) : At(1000, 0);
    const tagLonLat to = nMark > 0 ? At(1000, 0) : At(0, 0);
    ASSERT_EQ(e.Find(from, to), 1);
    auto edges = Retrieve(e.h);
    ASSERT_EQ(edges.size(), 1u);
    EXPECT_EQ(edges[0].nFeature, sq.ab);
    EXPECT_EQ(edges[0].bReversed, nMark < 0);
    EXPECT_EQ(edges[0].code[3], '+');
    // Against it: round the other three sides.
    ASSERT_EQ(e.Find(to, from), 3);
    edges = Retrieve(e.h);
    EXPECT_EQ(edges.size(), 3u);
    for (const Edge& ed : edges) {
      EXPECT_NE(ed.nFeature, sq.ab);
      EXPECT_EQ(ed.code[3], '0');
    }
    EXPECT_TRUE(Same(edges.back().pts.back(), from));
  }
}

TEST(RouteEngine, BlockedFeatureIsAvoidedUntilBlocksAreRemoved) {
  SketchMap m(R"(
d---------c
|         |
|         |
a---------b
  )");
  const SketchReader s(m.Ways("ab; bc; cd; da"));
  VRO_ROUTE* h = s.Engine();
  EXPECT_EQ(s.Route('a', 'b'), "ab");
  // The reversed id blocks the feature in both directions.
  VroRouteAddBlockEdge(h, s.Feature("ba"));
  EXPECT_EQ(s.Route('a', 'b'), "ad dc cb");
  EXPECT_EQ(s.Route('b', 'a'), "bc cd da");
  // Blocking every way on leaves no route; an unknown id changes nothing.
  VroRouteRemoveAllBlockEdge(h);
  VroRouteAddBlockEdge(h, s.Feature("da"));
  VroRouteAddBlockEdge(h, s.Feature("bc"));
  VroRouteAddBlockEdge(h, vxnet::FeatureIdOf(999, false));
  VroRouteAddBlockEdge(h, VRO_FEATURE_ID{{0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0u}});
  EXPECT_EQ(s.Route(s.Between('a', 'b'), s.Between('d', 'c')), "no route");
  EXPECT_EQ(VroRouteRetrieveStart(h), 0);
  // A start or target on a blocked feature still lies there: its piece up
  // to the start or target is used, the feature is not driven through.
  EXPECT_EQ(s.Route(s.Between('a', 'd'), s.Between('d', 'c')), "*d d*");
  EXPECT_EQ(s.Route(s.Between('d', 'c'), s.Between('b', 'c')), "*c c*");
  VroRouteRemoveAllBlockEdge(h);
  EXPECT_EQ(s.Route('a', 'b'), "ab");
}

TEST(RouteEngine, FastestAndShortestDifferWhereTheyShould) {
  // Straight residential road A-B (2 km), or a motorway detour A-M-B.
  NetBuilder b;
  const auto A = b.Node(0, 0), B = b.Node(3000, 0), M = b.Node(1500, 1000);
  const auto direct = b.Road(A, B, 0, 7);
  const auto m1 = b.Road(A, M, 0, 1), m2 = b.Road(M, B, 0, 1);
  Engine e(b.net);
  ASSERT_EQ(e.Find(At(0, 0), At(3000, 0), -1, "shortest"), 1);
  EXPECT_EQ(Features(Retrieve(e.h)), (std::vector<std::uint32_t>{direct}));
  ASSERT_EQ(e.Find(At(0, 0), At(3000, 0), -1, "fastest"), 2);
  EXPECT_EQ(Features(Retrieve(e.h)), (std::vector<std::uint32_t>{m1, m2}));
  // Null and empty mean fastest; letter case does not matter.
  ASSERT_EQ(e.Find(At(0, 0), At(3000, 0), -1, nullptr), 2);
  Retrieve(e.h);
  ASSERT_EQ(e.Find(At(0, 0), At(3000, 0), -1, "SHORTEST"), 1);
  Retrieve(e.h);
  // A low maxspeed on the motorway makes the direct road the fastest.
  b.net.features[m1].nMaxSpeed = 20;
  Engine slow(b.net);
  ASSERT_EQ(slow.Find(At(0, 0), At(3000, 0)), 1);
  EXPECT_EQ(Features(Retrieve(slow.h)), (std::vector<std::uint32_t>{direct}));
  // A turn penalty of 1000 s at M outweighs the motorway's gain.
  b.net.features[m1].nMaxSpeed = 0;
  Engine pen(b.net);
  ASSERT_EQ(pen.Find(At(0, 0), At(3000, 0), -1, "fastest", 1000.0), 1);
  Retrieve(pen.h);
}

TEST(RouteEngine, NoRouteAndBadInputGiveNegative) {
  NetBuilder b;
  const auto A = b.Node(0, 0), B = b.Node(1000, 0), C = b.Node(0, 3000), D = b.Node(1000, 3000);
  b.Road(A, B);
  b.Road(C, D);
  Engine e(b.net);
  EXPECT_LT(e.Find(At(0, 0), At(1000, 3000)), 0);
  EXPECT_EQ(VroRouteRetrieveStart(e.h), 0);
  EXPECT_LT(e.Find(At(0, 0), At(1000, 0), -1, "scenic"), 0);
  EXPECT_LT(e.Find({NAN, 52.0}, At(1000, 0)), 0);
  EXPECT_LT(e.Find(At(0, 0), {13.0, 1e300}), 0);
  // Farther than 5 km from every road.
  EXPECT_LT(e.Find(At(0, 0), At(0, 100000)), 0);
  ASSERT_EQ(e.Find(At(0, 0), At(1000, 0)), 1);
  // Reset drops the route.
  VroRouteReset(e.h);
  EXPECT_EQ(VroRouteRetrieveStart(e.h), 0);
  // Start and target on the same point: a route without edges, nothing to
  // retrieve.
  EXPECT_EQ(e.Find(At(500, 0), At(500, 1)), 0);
  EXPECT_EQ(VroRouteRetrieveStart(e.h), 0);
  char c6[6], c21[21], c301[301], c100[100];
  VRO_FEATURE_ID id{};
  double d = 0;
  tagLonLat* p = nullptr;
  EXPECT_EQ(VroRouteRetrieveNextEdgeEx(e.h, c6, c21, c301, c100, id, d, p), 0);
  // A null handle is refused quietly.
  EXPECT_LT(VroRouteFindPath(nullptr, At(0, 0), At(1, 0), -1, 0, nullptr, 0, nullptr), 0);
  EXPECT_EQ(VroRouteRetrieveStart(nullptr), 0);
  EXPECT_EQ(VroRouteRetrieveNextEdgeEx(nullptr, c6, c21, c301, c100, id, d, p), 0);
  VroRouteReset(nullptr);
  VroRouteAddBlockEdge(nullptr, id);
  VroRouteRemoveAllBlockEdge(nullptr);
  EXPECT_EQ(VroRouteOpen(nullptr), nullptr);
  // An empty network routes nowhere.
  const RoadNetwork empty;
  Engine none(empty);
  ASSERT_NE(none.h, nullptr);
  EXPECT_LT(none.Find(At(0, 0), At(1000, 0)), 0);
}

TEST(RouteEngine, StartAndTargetInsideFeaturesGivePartialEdges) {
  // A(0,0) -> B(3000,0) with inner points, B -> C(3000,2000) with one.
  NetBuilder b;
  const auto A = b.Node(0, 0), B = b.Node(3000, 0), C = b.Node(3000, 2000);
  const auto ab = b.Road(A, B, 0, 7, 0, "", {{1000, 0}, {2000, 0}});
  const auto bc = b.Road(B, C, 0, 7, 0, "", {{3000, 1000}});
  Engine e(b.net);
  // Start 1500 along ab (a little off the road), target 500 up bc.
  ASSERT_EQ(e.Find(At(1500, 7), At(2995, 500)), 2);
  auto edges = Retrieve(e.h);
  ASSERT_EQ(edges.size(), 2u);
  EXPECT_EQ(edges[0].nFeature, ab);
  EXPECT_EQ(edges[1].nFeature, bc);
  ASSERT_EQ(edges[0].pts.size(), 3u);  // (1500,0), (2000,0), B
  EXPECT_TRUE(Same(edges[0].pts[0], vxroute::LonLatOf({kBaseLon + 1500, kBaseLat})));
  EXPECT_TRUE(Same(edges[0].pts[1], vxroute::LonLatOf({kBaseLon + 2000, kBaseLat})));
  ASSERT_EQ(edges[1].pts.size(), 2u);  // B, (3000,500)
  EXPECT_TRUE(Same(edges[1].pts[1], vxroute::LonLatOf({kBaseLon + 3000, kBaseLat + 500})));
  const double dFull = LineLength(2, std::vector<tagLonLat>{At(0, 0), At(3000, 0)}.data());
  EXPECT_NEAR(edges[0].dLen, dFull / 2, 1.0);
  // Start and target inside the same feature, target ahead: one piece.
  ASSERT_EQ(e.Find(At(500, 0), At(2500, 0)), 1);
  edges = Retrieve(e.h);
  ASSERT_EQ(edges.size(), 1u);
  EXPECT_EQ(edges[0].pts.size(), 4u);
  EXPECT_FALSE(edges[0].bReversed);
  // The same the other way: the feature driven against its digitisation,
  // with the reversed id and the points in the order of travel.
  ASSERT_EQ(e.Find(At(2500, 0), At(500, 0)), 1);
  edges = Retrieve(e.h);
  ASSERT_EQ(edges.size(), 1u);
  EXPECT_TRUE(edges[0].bReversed);
  EXPECT_EQ(edges[0].code[4], 'B');
  EXPECT_GT(edges[0].pts.front().lon, edges[0].pts.back().lon);
}

TEST(RouteEngine, TargetAtNodeEndsExactlyThere) {
  Square sq(0);
  Engine e(sq.b.net);
  const tagLonLat c = vxroute::LonLatOf(sq.b.net.nodes[sq.C]);
  ASSERT_EQ(e.Find(At(500, 0), c), 2);
  const auto edges = Retrieve(e.h);
  ASSERT_EQ(edges.size(), 2u);
  EXPECT_EQ(edges[1].nFeature, sq.bc);
  EXPECT_EQ(edges[1].pts.size(), 2u);
  EXPECT_TRUE(Same(edges[1].pts.back(), c));
  EXPECT_TRUE(Same(edges[1].pts.front(), vxroute::LonLatOf(sq.b.net.nodes[sq.B])));
}

TEST(RouteEngine, TurningBackOnlyAtDeadEnds) {
  // A loop x-w-n beside a spur from w to the dead end s, far or near.
  SketchMap farMap(R"(
      n
    / |
  /   |
x-----w---------------------s
  )");
  SketchMap nearMap(R"(
      n
    / |
  /   |
x-----w---s
  )");
  const SketchReader far(farMap.Ways("xw; ws; wn; nx"));
  // Heading east on the spur with the target behind: on to the dead end
  // and back.
  EXPECT_EQ(far.Route(far.Between('w', 's', 0.5), far.Between('w', 's', 0.4), 0.0), "*s s*");
  // Heading east on xw with the target behind: no turning back at w (not a
  // dead end); round the loop instead.
  const tagLonLat from = far.Between('x', 'w', 0.5), to = far.Between('x', 'w', 0.2);
  EXPECT_EQ(far.Route(from, to, 0.0), "*w wn nx x*");
  // With the dead end near, turning back there is shorter than the loop,
  // until a penalty for turning back (metres on the shortest scale) tips it.
  const SketchReader near(nearMap.Ways("xw; ws; wn; nx"));
  EXPECT_EQ(near.Route(from, to, 0.0), "*w ws sw w*");
  EXPECT_EQ(near.Route(from, to, 0.0, "shortest", 0.0, 1000.0), "*w wn nx x*");
}

TEST(RouteEngine, StartHeadingIsPreferred) {
  NetBuilder b;
  const auto A = b.Node(0, 0), B = b.Node(2000, 0);
  b.Road(A, B);
  // Two one-way roads 20 m apart (0.0002 degree north): eastbound at 300,
  // westbound at 320.
  const auto P = b.Node(0, 300), Q = b.Node(2000, 300), R = b.Node(0, 320), T = b.Node(2000, 320);
  const auto east = b.Road(P, Q, 1), west = b.Road(T, R, 1);
  b.Road(A, P);
  b.Road(Q, T);
  b.Road(R, A);
  b.Road(B, Q);
  Engine e(b.net);
  // On the two-way road the first edge runs the way the heading points.
  for (double dAngle : {0.0, 180.0, 350.0, 200.0}) {
    ASSERT_GT(e.Find(At(1000, 0), At(1000, 310), dAngle, "shortest"), 0) << dAngle;
    const auto edges = Retrieve(e.h);
    const bool bEast = edges[0].pts.back().lon > edges[0].pts.front().lon;
    EXPECT_EQ(bEast, dAngle < 90 || dAngle > 270) << dAngle;
  }
  // Nearer the eastbound road but heading west: the westbound road is taken.
  ASSERT_GT(e.Find(At(1000, 305), At(500, 0), 180.0), 0);
  auto edges = Retrieve(e.h);
  EXPECT_EQ(edges[0].nFeature, west);
  ASSERT_GT(e.Find(At(1000, 305), At(500, 0), 10.0), 0);
  edges = Retrieve(e.h);
  EXPECT_EQ(edges[0].nFeature, east);
  // Without a heading the nearest road is taken.
  ASSERT_GT(e.Find(At(1000, 305), At(500, 0)), 0);
  edges = Retrieve(e.h);
  EXPECT_EQ(edges[0].nFeature, east);
}

TEST(RouteEngine, StartAgainstTheHeadingWhenNothingElseArrives) {
  // Heading east on A-B, but east of B only a one-way into a dead end.
  NetBuilder b;
  const auto A = b.Node(0, 0), B = b.Node(1000, 0), C = b.Node(2000, 0), W = b.Node(-1000, 0);
  const auto ab = b.Road(A, B);
  b.Road(B, C, 1);
  b.Road(W, A);
  Engine e(b.net);
  ASSERT_GT(e.Find(At(500, 0), At(-500, 0), 0.0), 0);
  const auto edges = Retrieve(e.h);
  ASSERT_EQ(edges.size(), 2u);
  EXPECT_EQ(edges[0].nFeature, ab);
  EXPECT_TRUE(edges[0].bReversed);
}

TEST(RouteEngine, LongFeaturesGoOutInPiecesThatFitAPointCount) {
  // 70,000 points along a line of latitude.
  NetBuilder b;
  std::vector<Bin_LonLat> inner;
  for (std::int32_t i = 1; i < 69999; ++i) {
    inner.push_back({i, 0});
  }
  const auto A = b.Node(0, 0), B = b.Node(69999, 0);
  const auto ab = b.Road(A, B, 0, 7, 0, "", inner);
  Engine e(b.net);
  ASSERT_EQ(e.Find(At(0, 0), At(69999, 0), -1, "shortest"), 2);
  const auto edges = Retrieve(e.h);
  ASSERT_EQ(edges.size(), 2u);
  EXPECT_EQ(edges[0].pts.size(), 65535u);
  EXPECT_EQ(edges[1].pts.size(), 70000u - 65535u + 1u);
  EXPECT_EQ(edges[0].nFeature, ab);
  EXPECT_EQ(edges[1].nFeature, ab);
  EXPECT_TRUE(Same(edges[1].pts.back(), vxroute::LonLatOf(b.net.nodes[B])));
}

TEST(RouteEngine, TextsStayWithinTheirBuffers) {
  // A name of 400 bytes of two-byte characters, a maxspeed, class 3.
  std::string name;
  while (name.size() < 400) {
    name += "\xC3\xA9";  // e with acute accent
  }
  NetBuilder b;
  const auto A = b.Node(0, 0), B = b.Node(1000, 0);
  b.Road(A, B, 1, 3, 50, name);
  Engine e(b.net);
  ASSERT_EQ(e.Find(At(0, 0), At(1000, 0)), 1);
  ASSERT_NE(VroRouteRetrieveStart(e.h), 0);
  constexpr int kGuard = 16;
  char buf[4][301 + kGuard];
  std::memset(buf, 0x7F, sizeof(buf));
  VRO_FEATURE_ID id{};
  double d = 0;
  tagLonLat* p = nullptr;
  ASSERT_EQ(VroRouteRetrieveNextEdgeEx(e.h, buf[0], buf[1], buf[2], buf[3], id, d, p), 2);
  const std::size_t sizes[4] = {6, 21, 301, 100};
  for (int i = 0; i < 4; ++i) {
    EXPECT_LT(std::strlen(buf[i]), sizes[i]) << i;
    for (std::size_t k = sizes[i]; k < sizes[i] + kGuard; ++k) {
      EXPECT_EQ(buf[i][k], 0x7F) << i;
    }
  }
  EXPECT_STREQ(buf[0], "RD3+F");
  EXPECT_STREQ(buf[1], "R3");
  EXPECT_STREQ(buf[3], "50");
  // Cut at 300 bytes on a whole character.
  EXPECT_EQ(std::strlen(buf[2]), 300u);
  EXPECT_EQ(std::string(buf[2]), name.substr(0, 300));
  // Cut before a character that would not fit whole.
  b.net.features[0].nName = b.net.names.Add("x" + name);
  Engine odd(b.net);
  ASSERT_EQ(odd.Find(At(0, 0), At(1000, 0)), 1);
  ASSERT_NE(VroRouteRetrieveStart(odd.h), 0);
  ASSERT_EQ(VroRouteRetrieveNextEdgeEx(odd.h, buf[0], buf[1], buf[2], buf[3], id, d, p), 2);
  EXPECT_EQ(std::strlen(buf[2]), 299u);
}

// Routes over a grid with random one-ways compared with a plain Dijkstra
// over the nodes: a shortest route never turns back, so the engine's turn
// rules do not change it.
TEST(RouteEngine, GridRoutesAreShortestAndConsistent) {
  NetBuilder b;
  constexpr int kSide = 12;
  std::mt19937 rng(11);
  for (int y = 0; y < kSide; ++y) {
    for (int x = 0; x < kSide; ++x) {
      b.Node(x * 500 + static_cast<int>(rng() % 100), y * 500 + static_cast<int>(rng() % 100));
    }
  }
  auto id = [&](int x, int y) { return static_cast<std::uint32_t>(y * kSide + x); };
  for (int y = 0; y < kSide; ++y) {
    for (int x = 0; x < kSide; ++x) {
      // One street in four one-way, either way.
      auto mark = [&] { return rng() % 4 != 0 ? 0 : (rng() % 2 != 0 ? 1 : -1); };
      if (x + 1 < kSide) b.Road(id(x, y), id(x + 1, y), mark());
      if (y + 1 < kSide) b.Road(id(x, y), id(x, y + 1), mark());
    }
  }
  const RoadNetwork& net = b.net;
  std::vector<std::vector<std::pair<std::uint32_t, double>>> adj(net.nodes.size());
  for (const Feature& f : net.features) {
    const double d = SegmentLength(vxroute::LonLatOf(net.nodes[f.nFromNode]),
                                   vxroute::LonLatOf(net.nodes[f.nToNode]));
    if (f.nOneWay >= 0) adj[f.nFromNode].push_back({f.nToNode, d});
    if (f.nOneWay <= 0) adj[f.nToNode].push_back({f.nFromNode, d});
  }
  Engine e(net);
  for (int q = 0; q < 80; ++q) {
    const std::uint32_t s = rng() % net.nodes.size(), t = rng() % net.nodes.size();
    if (s == t) continue;
    std::vector<double> dist(net.nodes.size(), INFINITY);
    std::priority_queue<std::pair<double, std::uint32_t>,
                        std::vector<std::pair<double, std::uint32_t>>, std::greater<>>
        pq;
    dist[s] = 0;
    pq.push({0, s});
    while (!pq.empty()) {
      auto [d, v] = pq.top();
      pq.pop();
      if (d > dist[v]) continue;
      for (auto [w, l] : adj[v]) {
        if (d + l < dist[w]) {
          dist[w] = d + l;
          pq.push({dist[w], w});
        }
      }
    }
    const int n =
        e.Find(vxroute::LonLatOf(net.nodes[s]), vxroute::LonLatOf(net.nodes[t]), -1, "shortest");
    if (std::isinf(dist[t])) {
      EXPECT_LT(n, 0) << s << " -> " << t;
      continue;
    }
    ASSERT_GT(n, 0) << s << " -> " << t;
    const auto edges = Retrieve(e.h);
    double dLen = 0;
    for (const Edge& ed : edges) {
      dLen += ed.dLen;
    }
    EXPECT_NEAR(dLen, dist[t], 1e-6 * dist[t]) << s << " -> " << t;
    EXPECT_TRUE(Same(edges.front().pts.front(), vxroute::LonLatOf(net.nodes[s])));
    EXPECT_TRUE(Same(edges.back().pts.back(), vxroute::LonLatOf(net.nodes[t])));
    CheckRules(net.View(), edges);
  }
  // With forbidden turns at random junctions the routes still keep every rule.
  for (std::uint32_t f = 0; f < b.net.features.size(); f += 3) {
    const Feature& from = b.net.features[f];
    for (std::uint32_t g = 0; g < b.net.features.size(); ++g) {
      const Feature& to = b.net.features[g];
      if (g != f && (to.nFromNode == from.nToNode || to.nToNode == from.nToNode)) {
        b.Forbid(f, from.nToNode, g);
        break;
      }
    }
  }
  Engine ruled(b.net);
  int nRouted = 0;
  for (int q = 0; q < 80; ++q) {
    const tagLonLat a = At(static_cast<int>(rng() % 5500), static_cast<int>(rng() % 5500));
    const tagLonLat z = At(static_cast<int>(rng() % 5500), static_cast<int>(rng() % 5500));
    if (ruled.Find(a, z, static_cast<double>(rng() % 360), "fastest", 5.0, 30.0) > 0) {
      ++nRouted;
      CheckRules(b.net.View(), Retrieve(ruled.h));
    }
  }
  EXPECT_GT(nRouted, 60);
  // Every node's coordinates come back exactly.
  for (const Bin_LonLat& p : net.nodes) {
    const tagLonLat d = vxroute::LonLatOf(p);
    ASSERT_EQ(static_cast<std::int32_t>(std::trunc(d.lon * 100000.0)), p.lon);
    ASSERT_EQ(static_cast<std::int32_t>(std::trunc(d.lat * 100000.0)), p.lat);
  }
}

// Snapping: the start and target go to the nearest usable segment, however
// long the segments and wherever the point, as a scan of every segment finds.
TEST(RouteEngine, SnapsToTheNearestSegment) {
  std::mt19937 rng(7);
  std::uniform_int_distribution<std::int32_t> coord(0, 20000);
  NetBuilder b;
  for (int k = 0; k < 300; ++k) {
    const std::uint32_t n0 = b.Node(coord(rng), coord(rng));
    // Some short, some across the whole area, some axis-parallel.
    const std::int32_t dx = k % 3 == 0 ? coord(rng) / 100 : coord(rng) - 10000;
    const std::int32_t dy = k % 7 == 0 ? 0 : k % 3 == 0 ? coord(rng) / 100 : coord(rng) - 10000;
    const Bin_LonLat p0 = b.net.nodes[n0];
    const std::uint32_t n1 = b.Node(p0.lon - kBaseLon + dx, p0.lat - kBaseLat + dy);
    if (dx != 0 || dy != 0) b.Road(n0, n1);
  }
  Engine e(b.net);
  for (int q = 0; q < 200; ++q) {
    const tagLonLat pt = At(coord(rng), coord(rng));
    double dLonDeg = 0, dLatDeg = 0;
    GetUnitDegree(pt, dLonDeg, dLatDeg);
    const double sx = 1.0 / (dLonDeg * 100000.0), sy = 1.0 / (dLatDeg * 100000.0);
    const auto metres = [&](double dLon, double dLat) {
      return std::hypot((dLon - pt.lon) * 100000.0 * sx, (dLat - pt.lat) * 100000.0 * sy);
    };
    double dBest = INFINITY, dBestT = 0;
    std::uint32_t nBest = 0;
    for (std::uint32_t k = 0; k < b.net.features.size(); ++k) {
      const Bin_LonLat* p = &b.net.points[b.net.features[k].nFirstPoint];
      const double ax = (p[0].lon - pt.lon * 100000.0) * sx;
      const double ay = (p[0].lat - pt.lat * 100000.0) * sy;
      const double dx = (p[1].lon - p[0].lon) * sx, dy = (p[1].lat - p[0].lat) * sy;
      const double t = std::clamp(-(ax * dx + ay * dy) / (dx * dx + dy * dy), 0.0, 1.0);
      if (std::hypot(ax + t * dx, ay + t * dy) < dBest) {
        dBest = std::hypot(ax + t * dx, ay + t * dy);
        dBestT = t;
        nBest = k;
      }
    }
    // To the far end of the nearest road: a route along it alone, whose first
    // point is the snapped start.
    const Bin_LonLat* p = &b.net.points[b.net.features[nBest].nFirstPoint];
    const tagLonLat end = vxroute::LonLatOf(p[dBestT < 0.5 ? 1 : 0]);
    ASSERT_GT(e.Find(pt, end, -1, "shortest"), 0) << "query " << q;
    const tagLonLat s = Retrieve(e.h).front().pts.front();
    EXPECT_NEAR(metres(s.lon, s.lat), dBest, 1.0) << "query " << q;
  }
}

TEST(RouteEngine, LongFeaturesKeepTheGridLinear) {
  // 20,000 roads from one corner of a 100 km square to the other, beside a
  // town of short ones: filed by their boxes in the finest cells they would
  // fill every cell.
  NetBuilder b;
  const std::uint32_t a = b.Node(0, 0), c = b.Node(1000000, 1000000);
  for (int k = 0; k < 20000; ++k) b.Road(a, c);
  for (std::int32_t i = 0; i < 100; ++i) b.Road(b.Node(100 * i, 0), b.Node(100 * i, 100));
  const vxnet::GridData grid = vxnet::BuildFeatureGrid(b.net.View());
  EXPECT_LE(grid.items.size(), 20100u * vxnet::kMaxCellsPerFeature);
  EXPECT_LT(grid.cellStart.size(), 2 * (4u * 20100u + 16u));
  // The engine still snaps to them.
  Engine e(b.net);
  EXPECT_GE(e.Find(At(500000, 500000), At(1000000, 1000000), -1, "shortest"), 0);
}

TEST(RouteEngine, InconsistentFeaturesAreLeftOut) {
  Square sq(0);
  sq.b.net.features[sq.ab].nPointCount = 1000;  // runs past the points
  sq.b.net.features[sq.bc].nToNode = 77;        // no such node
  Engine e(sq.b.net);
  ASSERT_EQ(e.Find(At(0, 0), At(1000, 1000)), 2);
  EXPECT_EQ(Features(Retrieve(e.h)), (std::vector<std::uint32_t>{sq.da, sq.cd}));
  // Not routable: the start snaps past it to the nearest usable road.
  sq.b.net.features[sq.da].nFlags = 0;
  Engine e2(sq.b.net);
  ASSERT_EQ(e2.Find(At(0, 0), At(1000, 1000)), 1);
  EXPECT_EQ(Features(Retrieve(e2.h)), (std::vector<std::uint32_t>{sq.cd}));
}

// The same rules on the sample town, through the map reader.
class RouteEngineTown : public ::testing::Test {
 protected:
  void SetUp() override {
    m_hReader = VroReaderOpen(VX_SOURCE_DIR "/data/sample-town.osm");
    ASSERT_NE(m_hReader, nullptr) << VroReaderLastError();
    m_pNet = vxnet::NetworkOfReader(m_hReader);
    ASSERT_NE(m_pNet, nullptr);
    m_hRoute = VroRouteOpen(m_hReader);
    ASSERT_NE(m_hRoute, nullptr);
  }
  void TearDown() override {
    VroRouteClose(m_hRoute);
    VroReaderClose(m_hReader);
  }
  tagLonLat NodeAt(std::size_t i) const { return vxroute::LonLatOf(m_pNet->nodes[i]); }

  VRO_READER* m_hReader = nullptr;
  const NetworkView* m_pNet = nullptr;
  VRO_ROUTE* m_hRoute = nullptr;
};

TEST_F(RouteEngineTown, EveryPointTruncatesBack) {
  ASSERT_FALSE(m_pNet->nodes.empty());
  for (const std::span<const Bin_LonLat> v : {m_pNet->nodes, m_pNet->points}) {
    for (const Bin_LonLat& p : v) {
      const tagLonLat d = vxroute::LonLatOf(p);
      ASSERT_EQ(static_cast<std::int32_t>(std::trunc(d.lon * 100000.0)), p.lon);
      ASSERT_EQ(static_cast<std::int32_t>(std::trunc(d.lat * 100000.0)), p.lat);
    }
  }
}

TEST_F(RouteEngineTown, RoutesKeepTheRulesAndFitThePathLibrary) {
  std::mt19937 rng(13);
  const std::size_t nNodes = m_pNet->nodes.size();
  int nRouted = 0, nDiffer = 0;
  for (int q = 0; q < 150; ++q) {
    const std::size_t s = rng() % nNodes, t = rng() % nNodes;
    if (s == t ||
        VroRouteFindPath(m_hRoute, NodeAt(s), NodeAt(t), -1, 0, "shortest", 0, nullptr) <= 0) {
      continue;
    }
    const auto shortest = Retrieve(m_hRoute);
    ASSERT_GT(VroRouteFindPath(m_hRoute, NodeAt(s), NodeAt(t), -1, 0, "fastest", 0, nullptr), 0);
    const auto fastest = Retrieve(m_hRoute);
    ++nRouted;
    double dShort = 0, dFast = 0;
    for (const Edge& e : shortest) dShort += e.dLen;
    for (const Edge& e : fastest) dFast += e.dLen;
    EXPECT_LE(dShort, dFast + 1e-6);
    nDiffer += Features(shortest) != Features(fastest);
    for (const auto* edges : {&shortest, &fastest}) {
      CheckRules(*m_pNet, *edges);
      EXPECT_TRUE(Same(edges->back().pts.back(), NodeAt(t)));
      CPath path;
      path.BeginAddEdge();
      for (const Edge& e : *edges) {
        EXPECT_EQ(path.AddEdge(e.code.c_str(), e.str1.c_str(), e.name.c_str(), e.attr.c_str(),
                               static_cast<unsigned short>(e.pts.size()), e.pts.data(),
                               vxnet::FeatureIdOf(e.nFeature, e.bReversed), e.dLen),
                  1);
      }
    }
  }
  EXPECT_GT(nRouted, 50);
  EXPECT_GT(nDiffer, 0);
}

TEST_F(RouteEngineTown, EveryTurnRestrictionAndOneWayIsHonoured) {
  const NetworkView& net = *m_pNet;
  ASSERT_FALSE(net.forbidden.empty());
  auto pointOf = [&](std::uint32_t f, std::uint32_t i) {
    return vxroute::LonLatOf(net.points[net.features[f].nFirstPoint + i]);
  };
  // From inside the arriving feature, heading for the junction, to the
  // middle of the feature the turn leads into.
  int nRouted = 0;
  for (const vxnet::ForbiddenTurn& t : net.forbidden) {
    const Feature& from = net.features[t.nFrom];
    const bool bForward = from.nToNode == t.nVia;
    const tagLonLat a = pointOf(t.nFrom, bForward ? from.nPointCount - 2 : 1);
    const tagLonLat b = pointOf(t.nFrom, bForward ? from.nPointCount - 1 : 0);
    const tagLonLat start{(a.lon + b.lon) / 2, (a.lat + b.lat) / 2};
    const double dHeading = std::atan2(b.lat - a.lat, b.lon - a.lon) * 180.0 / std::numbers::pi;
    const tagLonLat p = pointOf(t.nTo, 0), q = pointOf(t.nTo, 1);
    const tagLonLat target{(p.lon + q.lon) / 2, (p.lat + q.lat) / 2};
    if (VroRouteFindPath(m_hRoute, start, target, dHeading < 0 ? dHeading + 360 : dHeading, 0,
                         "shortest", 0, nullptr) > 0) {
      const auto edges = Retrieve(m_hRoute);
      CheckRules(net, edges);
      EXPECT_EQ(edges.front().nFeature, t.nFrom);
      ++nRouted;
    }
  }
  EXPECT_GT(nRouted, 0);
  // Every one-way feature asked for against its direction.
  int nOneWays = 0;
  for (std::uint32_t f = 0; f < net.features.size(); ++f) {
    const Feature& ft = net.features[f];
    if (ft.nOneWay == 0 || !ft.IsRoutable()) continue;
    ++nOneWays;
    const std::uint32_t nFrom = ft.nOneWay > 0 ? ft.nToNode : ft.nFromNode;
    const std::uint32_t nTo = ft.nOneWay > 0 ? ft.nFromNode : ft.nToNode;
    if (VroRouteFindPath(m_hRoute, NodeAt(nFrom), NodeAt(nTo), -1, 0, "shortest", 0, nullptr) > 0) {
      CheckRules(net, Retrieve(m_hRoute));
    }
  }
  EXPECT_GT(nOneWays, 0);
}

TEST_F(RouteEngineTown, BlockedFeatureIsAvoided) {
  std::mt19937 rng(17);
  int nChecked = 0;
  for (int q = 0; q < 100 && nChecked < 10; ++q) {
    const tagLonLat a = NodeAt(rng() % m_pNet->nodes.size());
    const tagLonLat z = NodeAt(rng() % m_pNet->nodes.size());
    if (VroRouteFindPath(m_hRoute, a, z, -1, 0, "fastest", 0, nullptr) < 3) {
      continue;
    }
    const auto before = Features(Retrieve(m_hRoute));
    const std::uint32_t nBlocked = before[before.size() / 2];
    VroRouteAddBlockEdge(m_hRoute, vxnet::FeatureIdOf(nBlocked, false));
    if (VroRouteFindPath(m_hRoute, a, z, -1, 0, "fastest", 0, nullptr) >= 0) {
      const auto around = Features(Retrieve(m_hRoute));
      EXPECT_EQ(std::count(around.begin(), around.end(), nBlocked), 0);
    }
    VroRouteRemoveAllBlockEdge(m_hRoute);
    ASSERT_GT(VroRouteFindPath(m_hRoute, a, z, -1, 0, "fastest", 0, nullptr), 0);
    EXPECT_EQ(Features(Retrieve(m_hRoute)), before);
    ++nChecked;
  }
  EXPECT_EQ(nChecked, 10);
}

}  // namespace

namespace {

// Where half-edge h (2 * feature, + 1 when driven against its digitisation)
// starts and ends.
std::uint32_t HalfStart(const RoadNetwork& net, std::uint32_t h) {
  const Feature& f = net.features[h >> 1];
  return (h & 1u) != 0 ? f.nToNode : f.nFromNode;
}
std::uint32_t HalfEnd(const RoadNetwork& net, std::uint32_t h) { return HalfStart(net, h ^ 1u); }

// The restrictions over via roads of a network as sequences of half-edges
// (from, via..., to), read naively: a turn is checked against every ending of
// the way driven before it. Records no route can drive (a half-edge past the
// features, pieces that do not join node to node) are left out.
class ViaRules {
 public:
  explicit ViaRules(const RoadNetwork& net) : m_bFrom(2 * net.features.size(), false) {
    const NetworkView view = net.View();
    for (const vxnet::ViaRestriction& r : view.viaRestrictions) {
      const std::span<const std::uint32_t> via = view.ViaOf(r);
      std::vector<std::uint32_t> seq{r.nFrom};
      seq.insert(seq.end(), via.begin(), via.end());
      seq.push_back(r.nTo);
      bool bDrivable = !via.empty();
      for (std::size_t i = 0; i < seq.size() && bDrivable; ++i) {
        bDrivable = seq[i] < m_bFrom.size() &&
                    (i == 0 || HalfEnd(net, seq[i - 1]) == HalfStart(net, seq[i]));
      }
      if (!bDrivable) continue;
      m_bFrom[r.nFrom] = true;
      m_nLongest = std::max(m_nLongest, seq.size());
      for (std::size_t n = 1; n < seq.size(); ++n)
        m_beginnings.emplace(seq.begin(), seq.begin() + n);
      if (r.nKind == vxnet::kViaOnly) {
        m_exits[{seq.begin(), seq.end() - 1}].insert(r.nTo);
      } else {
        m_banned.insert(seq);
      }
    }
  }

  // Whether a route that has driven the half-edges `driven`, in this order,
  // may turn into b next: no kViaNo sequence ends with b, and where the way
  // driven ends with the from and via of kViaOnly records, b is one of their
  // exits.
  bool Allows(std::span<const std::uint32_t> driven, std::uint32_t b) const {
    std::vector<std::uint32_t> ending;
    for (std::size_t k = 1; k <= driven.size() && k < m_nLongest; ++k) {
      ending.assign(driven.end() - static_cast<std::ptrdiff_t>(k), driven.end());
      const auto exits = m_exits.find(ending);
      if (exits != m_exits.end() && !exits->second.contains(b)) return false;
      ending.push_back(b);
      if (m_banned.contains(ending)) return false;
    }
    return true;
  }

  // The longest ending of driven + b that some record's sequence begins with
  // (and goes on after); empty when there is none.
  std::vector<std::uint32_t> Beginning(std::span<const std::uint32_t> driven,
                                       std::uint32_t b) const {
    if (driven.empty() && !m_bFrom[b]) return {};
    std::vector<std::uint32_t> way(driven.begin(), driven.end());
    way.push_back(b);
    for (std::size_t k = std::min(way.size(), m_nLongest); k > 0; --k) {
      std::vector<std::uint32_t> ending(way.end() - static_cast<std::ptrdiff_t>(k), way.end());
      if (m_beginnings.contains(ending)) return ending;
    }
    return {};
  }

 private:
  std::vector<bool> m_bFrom;  // per half-edge: some record starts with it
  std::size_t m_nLongest = 0;
  std::set<std::vector<std::uint32_t>> m_banned;  // kViaNo sequences
  // The from and via of kViaOnly records, with the exits they name.
  std::map<std::vector<std::uint32_t>, std::set<std::uint32_t>> m_exits;
  std::set<std::vector<std::uint32_t>> m_beginnings;  // every sequence short of its end
};

}  // namespace

// A random town for the property test: a grid of junctions moved at random,
// roads between neighbours (some missing), a fifth one-way, road classes at
// random, a point in the middle of each road, forbidden turns and
// restrictions over via roads at random.
struct RandomTown {
  NetBuilder b;
  std::vector<Bin_LonLat> places;  // map points: every node and every middle point

  RandomTown(int nSide, std::uint32_t nSeed) {
    std::mt19937 rng(nSeed);
    for (int y = 0; y < nSide; ++y) {
      for (int x = 0; x < nSide; ++x) {
        b.Node(x * 300 + static_cast<int>(rng() % 80), y * 300 + static_cast<int>(rng() % 80));
      }
    }
    const auto road = [&](std::uint32_t u, std::uint32_t v) {
      if (rng() % 10 == 0) return;
      const int nOneWay = rng() % 5 != 0 ? 0 : (rng() % 2 != 0 ? 1 : -1);
      const Bin_LonLat& p = b.net.nodes[u];
      const Bin_LonLat& q = b.net.nodes[v];
      const Bin_LonLat mid{(p.lon + q.lon) / 2 - kBaseLon, (p.lat + q.lat) / 2 - kBaseLat};
      b.Road(u, v, nOneWay, 1 + rng() % 7, 0, "", {mid});
    };
    for (int y = 0; y < nSide; ++y) {
      for (int x = 0; x < nSide; ++x) {
        const auto id = static_cast<std::uint32_t>(y * nSide + x);
        if (x + 1 < nSide) road(id, id + 1);
        if (y + 1 < nSide) road(id, id + static_cast<std::uint32_t>(nSide));
      }
    }
    // One turn in eight forbidden.
    const RoadNetwork& net = b.net;
    for (std::uint32_t f = 0; f < net.features.size(); ++f) {
      for (std::uint32_t g = 0; g < net.features.size(); ++g) {
        const Feature &a = net.features[f], &c = net.features[g];
        for (const std::uint32_t v : {a.nFromNode, a.nToNode}) {
          if (f != g && (c.nFromNode == v || c.nToNode == v) && rng() % 8 == 0) b.Forbid(f, v, g);
        }
      }
      const Bin_LonLat* p = &net.points[net.features[f].nFirstPoint];
      places.push_back(p[1]);
    }
    places.insert(places.end(), net.nodes.begin(), net.nodes.end());
    AddViaRestrictions(rng);
  }

 private:
  // About one restriction over via roads per three features, each a random
  // walk along the grid (one-way marks ignored, turning back included) from a
  // random half-edge over one to three via half-edges to its to, a quarter of
  // them kViaOnly. Among them: kViaOnly groups naming some of the exits after
  // one from and via; records that begin like an earlier one and go their
  // own way; records that begin inside an earlier one; records that turn
  // back (h, v, v^1; h, v, v^1, h^1; h, h^1, x). Then records no route can
  // drive, which must change nothing: a half-edge past the features as from,
  // via or to, via or to not starting where the one before ends.
  void AddViaRestrictions(std::mt19937& rng) {
    RoadNetwork& net = b.net;
    const auto nHalf = static_cast<std::uint32_t>(2 * net.features.size());
    const auto pick = [&](std::size_t n) { return static_cast<std::uint32_t>(rng() % n); };
    std::vector<std::vector<std::uint32_t>> leaving(net.nodes.size());
    for (std::uint32_t h = 0; h < nHalf; ++h) leaving[HalfStart(net, h)].push_back(h);
    // seq extended to n half-edges by random steps, half of them straight on
    // where the grid goes on (the node numbered as far beyond as the last
    // step went).
    const auto walk = [&](std::vector<std::uint32_t> seq, std::size_t n) {
      while (seq.size() < n) {
        const std::uint32_t u = HalfStart(net, seq.back()), v = HalfEnd(net, seq.back());
        const std::vector<std::uint32_t>& out = leaving[v];
        std::uint32_t next = out[pick(out.size())];
        for (const std::uint32_t x : out) {
          if (HalfEnd(net, x) + u == 2 * v && pick(2) == 0) next = x;
        }
        seq.push_back(next);
      }
      return seq;
    };
    std::vector<std::vector<std::uint32_t>> made;
    const auto add = [&](const std::vector<std::uint32_t>& seq, std::uint8_t nKind) {
      net.viaRestrictions.push_back({seq.front(), seq.back(),
                                     static_cast<std::uint32_t>(net.viaHalfEdges.size()),
                                     static_cast<std::uint16_t>(seq.size() - 2), nKind, 0});
      net.viaHalfEdges.insert(net.viaHalfEdges.end(), seq.begin() + 1, seq.end() - 1);
      made.push_back(seq);
    };
    const auto kind = [&] { return pick(4) == 0 ? vxnet::kViaOnly : vxnet::kViaNo; };
    for (std::uint32_t i = 0; i < nHalf / 6; ++i) {
      const std::uint32_t h = pick(nHalf);
      const std::vector<std::uint32_t> earlier =
          made.empty() ? walk({h}, 3) : made[pick(made.size())];
      switch (pick(8)) {
        case 0: {  // several exits allowed after one from and via
          const std::vector<std::uint32_t> head = walk({h}, 2 + pick(3));
          for (const std::uint32_t x : leaving[HalfEnd(net, head.back())]) {
            std::vector<std::uint32_t> seq = head;
            seq.push_back(x);
            if (pick(2) == 0) add(seq, vxnet::kViaOnly);
          }
          break;
        }
        case 1: {  // an earlier record's from and via half-edges (one at least), then its own way
          const std::size_t n = 2 + pick(earlier.size() - 2);
          add(walk({earlier.begin(), earlier.begin() + static_cast<std::ptrdiff_t>(n)},
                   n + 1 + pick(5 - n)),
              kind());
          break;
        }
        case 2: {  // an earlier record from one of its via half-edges on, perhaps a step longer
          const std::vector<std::uint32_t> tail(
              earlier.begin() + static_cast<std::ptrdiff_t>(1 + pick(earlier.size() - 2)),
              earlier.end());
          add(walk(tail, std::min<std::size_t>(5, std::max<std::size_t>(3, tail.size()) + pick(2))),
              kind());
          break;
        }
        case 3: {  // turning back
          const std::uint32_t v = walk({h}, 2)[1];
          const std::vector<std::uint32_t> back[] = {
              {h, v, v ^ 1u}, {h, v, v ^ 1u, h ^ 1u}, walk({h, h ^ 1u}, 3)};
          add(back[pick(3)], kind());
          break;
        }
        default:
          add(walk({h}, 3 + pick(3)), kind());
      }
    }
    for (std::uint32_t i = 0; i < nHalf / 100; ++i) {
      const std::vector<std::uint32_t> seq = walk({pick(nHalf)}, 4);
      std::uint32_t nElsewhere = pick(nHalf);  // starts elsewhere than seq[1] ends
      while (HalfStart(net, nElsewhere) == HalfEnd(net, seq[1])) nElsewhere = pick(nHalf);
      add({nHalf + pick(4), seq[1], seq[2]}, kind());
      add({seq[0], nHalf + pick(4), seq[2]}, kind());
      add({seq[0], seq[1], nHalf + pick(4)}, kind());
      add({seq[0], seq[1], nElsewhere}, kind());
      add({seq[0], seq[1], nElsewhere, seq[3]}, kind());
    }
    // In the order the network keeps them: by from, via half-edges, to, kind.
    const auto key = [&](const vxnet::ViaRestriction& r) {
      const auto via = net.viaHalfEdges.begin() + r.nFirstVia;
      return std::tuple(r.nFrom, std::vector<std::uint32_t>(via, via + r.nViaCount), r.nTo,
                        r.nKind);
    };
    std::sort(net.viaRestrictions.begin(), net.viaRestrictions.end(),
              [&](const auto& x, const auto& y) { return key(x) < key(y); });
  }
};

// The reference: a plain Dijkstra with the engine's rules, written from their
// description. Its states are a half-edge and the way driven up to it as far
// as restrictions over via roads care: the longest ending of that way that
// some record's sequence begins with (ViaRules::Beginning), found naively.
// Costs of whole features and of the pieces to and from the middle points are
// geodesic lengths (divided by the speed for the fastest route).
class PlainDijkstra {
 public:
  // pVia: the via restrictions to keep, null for none; owned by the caller.
  PlainDijkstra(const RoadNetwork& net, const ViaRules* pVia, bool bShortest, double dTurn,
                double dUTurn, std::uint32_t nBlocked)
      : m_net(net),
        m_pVia(pVia),
        m_bShortest(bShortest),
        m_dTurn(dTurn),
        m_dUTurn(dUTurn),
        m_nBlocked(nBlocked),
        m_leaving(net.nodes.size()) {
    for (std::uint32_t h = 0; h < 2 * net.features.size(); ++h) m_leaving[Start(h)].push_back(h);
  }

  // Cheapest price from place a to place b (map points on a node or a middle
  // point); infinity when none.
  double Cost(const Bin_LonLat& a, const Bin_LonLat& z) {
    const std::size_t nHalf = 2 * m_net.features.size();
    m_dist.assign(nHalf, INFINITY);
    m_wayDist.clear();
    using Item = std::tuple<double, std::uint32_t, std::uint32_t>;  // price, half-edge, way
    std::priority_queue<Item, std::vector<Item>, std::greater<>> pq;
    const Where s = Locate(a), t = Locate(z);
    m_nTarget = t.bNode ? 0xFFFFFFFFu : t.nFeature;
    double dBest = INFINITY;
    const auto reach = [&](std::uint32_t h, std::uint32_t w, double d) {
      double& dOld = Dist(h, w);
      if (d < dOld) {
        dOld = d;
        pq.push({d, h, w});
      }
    };
    if (s.bNode) {
      for (std::uint32_t h = 0; h < nHalf; ++h) {
        if (Start(h) == s.nNode && Drivable(h) && (!Blocked(h >> 1) || h >> 1 == m_nTarget))
          reach(h, WayAfter(0, h), 0.0);
      }
    } else {
      // The road the route starts on counts as driven.
      for (const std::uint32_t h : {2 * s.nFeature, 2 * s.nFeature + 1}) {
        if (!Drivable(h)) continue;
        const double dHalf = HalfCost(h, false);  // from the middle on
        if (t.bNode && End(h) == t.nNode) dBest = std::min(dBest, dHalf);
        Steps(h, WayAfter(0, h),
              [&](std::uint32_t b, std::uint32_t w, double dPen) { reach(b, w, dHalf + dPen); });
      }
    }
    while (!pq.empty()) {
      const auto [d, h, w] = pq.top();
      pq.pop();
      if (d > Dist(h, w) || d >= dBest) continue;
      if (!t.bNode && h >> 1 == t.nFeature) dBest = std::min(dBest, d + HalfCost(h, true));
      if (Blocked(h >> 1)) continue;
      const double dArrive = d + FullCost(h >> 1);
      if (t.bNode && End(h) == t.nNode) dBest = std::min(dBest, dArrive);
      Steps(h, w,
            [&](std::uint32_t b, std::uint32_t wb, double dPen) { reach(b, wb, dArrive + dPen); });
    }
    return dBest;
  }

  // Calls fn(b, penalty) for every turn from half-edge h as one-way marks,
  // forbidden turns, the block and turning back allow it, whatever was
  // driven before h.
  template <class Fn>
  void Turns(std::uint32_t h, Fn&& fn) const {
    const std::uint32_t v = End(h);
    bool bOther = false, bBack = false;
    for (const std::uint32_t b : m_leaving[v]) {
      if (!Drivable(b) || (Blocked(b >> 1) && b >> 1 != m_nTarget) || Forbidden(h >> 1, v, b >> 1))
        continue;
      if (b == (h ^ 1u)) {
        bBack = true;
        continue;
      }
      bOther = true;
      fn(b, Gap(Heading(h, true), Heading(b, false)) > 45.0 ? m_dTurn : 0.0);
    }
    if (bBack && !bOther) fn(h ^ 1u, m_dUTurn);
  }
  // The penalty of the turn from h into b; NaN when it is not permitted.
  double TurnPenalty(std::uint32_t h, std::uint32_t b) const {
    double dPenalty = NAN;
    Turns(h, [&](std::uint32_t x, double dPen) {
      if (x == b) dPenalty = dPen;
    });
    return dPenalty;
  }
  // The price of an edge handed out: its length, over its speed when fastest.
  double EdgeCost(const Edge& e) const {
    return m_bShortest ? e.dLen
                       : e.dLen / (vxnet::FeatureSpeedKmh(m_net.features[e.nFeature]) / 3.6);
  }

 private:
  struct Where {
    bool bNode;
    std::uint32_t nNode, nFeature;
  };
  Where Locate(const Bin_LonLat& p) const {
    for (std::uint32_t n = 0; n < m_net.nodes.size(); ++n) {
      if (m_net.nodes[n].lon == p.lon && m_net.nodes[n].lat == p.lat) return {true, n, 0};
    }
    for (std::uint32_t f = 0; f < m_net.features.size(); ++f) {
      const Bin_LonLat& q = m_net.points[m_net.features[f].nFirstPoint + 1];
      if (q.lon == p.lon && q.lat == p.lat) return {false, 0, f};
    }
    ADD_FAILURE() << "no such place";
    return {true, 0, 0};
  }
  // The turns from h driven at the end of way w that the via restrictions
  // leave: fn(b, the way after b, penalty).
  template <class Fn>
  void Steps(std::uint32_t h, std::uint32_t w, Fn&& fn) {
    const std::vector<std::uint32_t> driven = m_ways[w];
    Turns(h, [&](std::uint32_t b, double dPen) {
      if (m_pVia == nullptr || m_pVia->Allows(driven, b)) fn(b, WayAfter(w, b), dPen);
    });
  }
  // The number of the way driven when b follows way w.
  std::uint32_t WayAfter(std::uint32_t w, std::uint32_t b) {
    if (m_pVia == nullptr) return 0;
    const std::vector<std::uint32_t> way = m_pVia->Beginning(m_ways[w], b);
    if (way.empty()) return 0;
    const auto [it, bNew] = m_wayIds.try_emplace(way, static_cast<std::uint32_t>(m_ways.size()));
    if (bNew) m_ways.push_back(way);
    return it->second;
  }
  double& Dist(std::uint32_t h, std::uint32_t w) {
    return w == 0 ? m_dist[h] : m_wayDist.try_emplace({h, w}, INFINITY).first->second;
  }
  const Feature& F(std::uint32_t h) const { return m_net.features[h >> 1]; }
  std::uint32_t Start(std::uint32_t h) const { return HalfStart(m_net, h); }
  std::uint32_t End(std::uint32_t h) const { return HalfEnd(m_net, h); }
  bool Drivable(std::uint32_t h) const {
    return F(h).nOneWay == 0 || (F(h).nOneWay > 0) == ((h & 1u) == 0);
  }
  bool Blocked(std::uint32_t f) const { return f == m_nBlocked; }
  bool Forbidden(std::uint32_t a, std::uint32_t v, std::uint32_t c) const {
    return std::binary_search(
        m_net.forbidden.begin(), m_net.forbidden.end(), vxnet::ForbiddenTurn{a, v, c},
        [](const vxnet::ForbiddenTurn& x, const vxnet::ForbiddenTurn& y) {
          return std::tie(x.nFrom, x.nVia, x.nTo) < std::tie(y.nFrom, y.nVia, y.nTo);
        });
  }
  double Metres(const Bin_LonLat& p, const Bin_LonLat& q) const {
    return SegmentLength(vxroute::LonLatOf(p), vxroute::LonLatOf(q));
  }
  double Price(std::uint32_t f, double dMetres) const {
    return m_bShortest ? dMetres : dMetres / (vxnet::FeatureSpeedKmh(m_net.features[f]) / 3.6);
  }
  double FullCost(std::uint32_t f) const {
    const Bin_LonLat* p = &m_net.points[m_net.features[f].nFirstPoint];
    double dMetres = 0.0;
    for (std::uint32_t i = 0; i + 1 < m_net.features[f].nPointCount; ++i)
      dMetres += Metres(p[i], p[i + 1]);
    return Price(f, dMetres);
  }
  // Driving h from its middle point to its end, or from its start to the
  // middle point (bToMiddle).
  double HalfCost(std::uint32_t h, bool bToMiddle) const {
    const Bin_LonLat* p = &m_net.points[F(h).nFirstPoint];
    const bool bFirstHalf = bToMiddle == ((h & 1u) == 0);
    return Price(h >> 1, bFirstHalf ? Metres(p[0], p[1]) : Metres(p[1], p[2]));
  }
  // Direction of travel leaving h's start (bEnd false) or reaching its end.
  double Heading(std::uint32_t h, bool bEnd) const {
    const Bin_LonLat* p = &m_net.points[F(h).nFirstPoint];
    const std::uint32_t n = F(h).nPointCount;
    // The step taken forward: the first one, or the last.
    const bool bLast = bEnd != ((h & 1u) != 0);
    const Bin_LonLat a = bLast ? p[n - 2] : p[0], c = bLast ? p[n - 1] : p[1];
    const double d = std::atan2(c.lat - a.lat, c.lon - a.lon) * 180.0 / std::numbers::pi;
    return (h & 1u) != 0 ? d + 180.0 : d;
  }
  static double Gap(double a, double b) {
    const double d = std::fmod(std::fabs(a - b), 360.0);
    return d > 180.0 ? 360.0 - d : d;
  }

  const RoadNetwork& m_net;
  const ViaRules* m_pVia;
  bool m_bShortest;
  double m_dTurn, m_dUTurn;
  std::uint32_t m_nBlocked;
  std::vector<std::vector<std::uint32_t>> m_leaving;  // half-edges by start node
  std::uint32_t m_nTarget = 0xFFFFFFFFu;
  // The ways driven that matter, numbered; way 0 is none.
  std::vector<std::vector<std::uint32_t>> m_ways{{}};
  std::map<std::vector<std::uint32_t>, std::uint32_t> m_wayIds;
  std::vector<double> m_dist;                                           // per half-edge after way 0
  std::map<std::pair<std::uint32_t, std::uint32_t>, double> m_wayDist;  // (half-edge, way)
};

// What ExpectDijkstraCosts saw: routes found, and queries whose price (or
// whether there is a route) the restrictions over via roads changed.
struct Tally {
  int nRouted = 0;
  int nBent = 0;
};

// The engine on net against the plain Dijkstra, between random places (map
// points on a node or a feature's middle point): the same price, no route
// exactly where there is none, each step a permitted turn, and no forbidden
// sequence of a restriction over via roads driven (the first edge of a route
// that starts inside a feature being that feature's half-edge). A quarter of
// the queries with a block (half of them on the target's road), a third with
// penalties (searched without the overlay).
Tally ExpectDijkstraCosts(const RoadNetwork& net, const std::vector<Bin_LonLat>& places,
                          std::uint32_t nSeed, int nQueries) {
  Engine e(net);
  const ViaRules via(net);
  std::mt19937 rng(nSeed * 77);
  Tally tally;
  for (int q = 0; q < nQueries; ++q) {
    const Bin_LonLat a = places[rng() % places.size()];
    const Bin_LonLat z = places[rng() % places.size()];
    const bool bShortest = q % 2 == 0;
    const double dTurn = q % 3 == 2 ? 20.0 : 0.0, dUTurn = q % 3 == 2 ? 50.0 : 0.0;
    std::uint32_t nBlocked = 0xFFFFFFFFu;
    if (q % 4 == 3) {
      nBlocked = static_cast<std::uint32_t>(rng() % net.features.size());
      // Every other time the road the target lies on, when it lies on one.
      for (std::uint32_t f = 0; f < net.features.size() && q % 8 == 7; ++f) {
        const Bin_LonLat& mid = net.points[net.features[f].nFirstPoint + 1];
        if (net.features[f].nPointCount == 3 && mid.lon == z.lon && mid.lat == z.lat) nBlocked = f;
      }
      VroRouteAddBlockEdge(e.h, vxnet::FeatureIdOf(nBlocked, false));
    }
    PlainDijkstra ref(net, &via, bShortest, dTurn, dUTurn, nBlocked);
    const bool bOnBlocked = [&] {  // a start on the blocked road follows other rules
      const Feature& f = net.features[nBlocked % net.features.size()];
      const Bin_LonLat& mid = net.points[f.nFirstPoint + 1];
      return nBlocked != 0xFFFFFFFFu && mid.lon == a.lon && mid.lat == a.lat;
    }();
    const bool bSameFeature = [&] {
      for (const Feature& f : net.features) {
        const Bin_LonLat& mid = net.points[f.nFirstPoint + 1];
        if (mid.lon == a.lon && mid.lat == a.lat && mid.lon == z.lon && mid.lat == z.lat)
          return true;
      }
      return false;
    }();
    if ((a.lon == z.lon && a.lat == z.lat) || bOnBlocked || bSameFeature) {
      VroRouteRemoveAllBlockEdge(e.h);
      continue;
    }
    const double dWant = ref.Cost(a, z);
    const double dFree = PlainDijkstra(net, nullptr, bShortest, dTurn, dUTurn, nBlocked).Cost(a, z);
    tally.nBent += dWant != dFree && std::fabs(dWant - dFree) > 1e-9 * dFree;
    const int n = e.Find(vxroute::LonLatOf(a), vxroute::LonLatOf(z), -1,
                         bShortest ? "shortest" : "fastest", dTurn, dUTurn);
    VroRouteRemoveAllBlockEdge(e.h);
    if (std::isinf(dWant)) {
      EXPECT_LT(n, 0) << "query " << q;
      continue;
    }
    EXPECT_GT(n, 0) << "query " << q;
    if (n <= 0) continue;
    const std::vector<Edge> edges = Retrieve(e.h);
    double dGot = 0.0;
    std::vector<std::uint32_t> driven;
    for (std::size_t i = 0; i < edges.size(); ++i) {
      const std::uint32_t h = 2 * edges[i].nFeature + (edges[i].bReversed ? 1 : 0);
      dGot += ref.EdgeCost(edges[i]);
      EXPECT_TRUE(edges[i].nFeature != nBlocked || i + 1 == edges.size()) << "query " << q;
      if (i > 0) {
        const double dPenalty = ref.TurnPenalty(driven.back(), h);
        EXPECT_FALSE(std::isnan(dPenalty)) << "query " << q << " edge " << i;
        dGot += dPenalty;
      }
      EXPECT_TRUE(via.Allows(driven, h)) << "query " << q << ": a forbidden sequence at edge " << i;
      driven.push_back(h);
    }
    EXPECT_NEAR(dGot, dWant, 1e-6 * dWant + 1e-6) << "query " << q;
    ++tally.nRouted;
  }
  return tally;
}

// The engine (over its overlay where the penalties are 0, by A* otherwise)
// against the plain Dijkstra on random towns with one-ways, forbidden turns
// and restrictions over via roads, and on the sample town.
TEST(RouteEngine, RoutesCostWhatAPlainDijkstraFinds) {
  for (const std::uint32_t nSeed : {1u, 2u}) {
    const RandomTown town(nSeed == 1 ? 34 : 12, nSeed);
    const Tally tally = ExpectDijkstraCosts(town.b.net, town.places, nSeed, 240);
    EXPECT_GT(tally.nRouted, 150);
    EXPECT_GT(tally.nBent, 20) << "too few queries meet a restriction over via roads";
  }
  RoadNetwork sample;
  std::string sError;
  ASSERT_TRUE(vxmap::ImportRoadNetwork(VX_SOURCE_DIR "/data/sample-town.osm", sample, sError));
  ASSERT_FALSE(sample.viaRestrictions.empty());
  EXPECT_GT(ExpectDijkstraCosts(sample, sample.nodes, 3, 240).nRouted, 150);
  // The larger town is searched over an overlay of several levels.
  const RandomTown big(34, 1);
  const vxroute::RouteGraph g(big.b.net.View());
  EXPECT_GE(g.Net().overlay.info.nLevels, 2u);
}

// The nested cells of the overlay: cut on two threads they are the cells of
// one thread, numbered alike; every cell within its level's size, inside its
// parent, and its nodes together.
TEST(RouteEngine, CellsCutOnTwoThreadsAreTheCellsOfOne) {
  const RandomTown town(34, 3);
  const vxroute::RouteGraph g(town.b.net.View());
  const std::vector<std::uint32_t> sizes = {16, 64, 256};
  const vxnet::CellPartition one = vxnet::PartitionNodes(g, sizes, 1);
  const vxnet::CellPartition two = vxnet::PartitionNodes(g, sizes, 2, 0);
  EXPECT_EQ(one.nodeCells, two.nodeCells);
  EXPECT_EQ(one.parents, two.parents);
  EXPECT_EQ(one.cellEnd, two.cellEnd);
  EXPECT_EQ(one.nodes, two.nodes);
  EXPECT_EQ(one.cellNodes, two.cellNodes);
  ASSERT_EQ(one.cellEnd.size(), sizes.size());
  ASSERT_EQ(one.cellNodes.size(), one.cellEnd[0] + 1);
  // Nodes per cell on every level, through the parents.
  std::vector<std::uint32_t> count(one.parents.size(), 0);
  for (std::uint32_t c = 0; c < one.cellEnd[0]; ++c) {
    for (std::uint32_t i = one.cellNodes[c]; i < one.cellNodes[c + 1]; ++i)
      EXPECT_EQ(one.nodeCells[one.nodes[i]], c);
    for (std::uint32_t p = c; p != vxnet::kNoCell; p = one.parents[p])
      count[p] += one.cellNodes[c + 1] - one.cellNodes[c];
  }
  for (std::size_t l = 0; l < sizes.size(); ++l) {
    for (std::uint32_t c = l == 0 ? 0 : one.cellEnd[l - 1]; c < one.cellEnd[l]; ++c) {
      EXPECT_LE(count[c], sizes[l]) << "cell " << c;
      EXPECT_GT(count[c], 0u) << "cell " << c;
      const std::uint32_t p = one.parents[c];
      if (l + 1 < sizes.size()) {
        EXPECT_TRUE(p >= one.cellEnd[l] && p < one.cellEnd[l + 1]) << "cell " << c;
      } else {
        EXPECT_EQ(p, vxnet::kNoCell);
      }
    }
  }
  EXPECT_EQ(one.cellNodes.back(), g.NodeCount());
}

// Snapping where a route exists: a point near a road cut off from the
// network (a piece of its own) goes to the nearest road of the network
// unless it lies within a few metres of the piece.
TEST(RouteEngine, PointsSnapPastSmallPiecesUnlessOnThem) {
  SketchMap m(R"(
a-------b-------c
|       |       |
d-------e-------f


        g---h
  )");
  const SketchReader s(m.Ways("ab; bc; ad; be; cf; de; ef; gh"));
  EXPECT_EQ(s.Route(s.Between('e', 'g', 0.6), s.At('f')), "ef");  // 24 m from gh
  EXPECT_EQ(s.Route(s.At('f'), s.Between('e', 'g', 0.6)), "fe");
  EXPECT_EQ(s.Route(s.Between('e', 'g', 0.9), s.At('f')), "no route");  // 6 m: on it
  EXPECT_NE(s.Route(s.Between('g', 'h', 0.2), s.Between('g', 'h', 0.8)), "no route");
  // A one-way into a dead end is a piece of its own too: a point beside it
  // goes to the road it leaves.
  SketchMap spur(R"(
a-------b-------c
        |
        |
        d
  )");
  const SketchReader t(spur.Ways("ab; bc; bd oneway=yes"));
  tagLonLat beside = t.Between('b', 'd', 0.5);  // 15 m east of bd, 20 m south of bc
  beside.lon += 15.0 / (111195.0 * std::cos(52.5 * std::numbers::pi / 180.0));
  EXPECT_EQ(t.Route(beside, t.At('a')), "*b ba");
  EXPECT_EQ(t.Route(t.Between('b', 'd', 0.5), t.At('a')), "no route");  // on it
}
