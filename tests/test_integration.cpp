// The path library over the real map reader and route engine, on drawn maps
// and on the sample town: the roads a driver sees at junctions, routes carried
// into a path with their guidance and junctions, rerouting from a position off
// the route and around a blocked road, and matching positions along a route.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "CPath/CPath.h"
#include "interfaces/VroGeo.h"
#include "interfaces/VroRead.h"
#include "interfaces/VroRoute.h"
#include "network/FeatureId.h"
#include "network/ReaderNetwork.h"
#include "network/RoadGeometry.h"
#include "tests/SketchMap.h"

namespace {

using vxtest::SketchMap;
using vxtest::SketchReader;

// The town's grid: junction (x, y) lies at 13.3940 + 0.0015 x E,
// 52.4964 + 0.0009 y N, rounded to map units.
Bin_LonLat At(double x, double y) {
  return {static_cast<std::int32_t>(std::lround((13.3940 + x * 0.0015) * 100000.0)),
          static_cast<std::int32_t>(std::lround((52.4964 + y * 0.0009) * 100000.0))};
}

tagLonLat Degrees(const Bin_LonLat& p) {
  return {vxnet::BinToDegrees(p.lon), vxnet::BinToDegrees(p.lat)};
}

// The map point of a junction: degrees times 100000, truncated.
Bin_LonLat MapPoint(const tagLonLat& p) {
  return {static_cast<std::int32_t>(p.lon * 100000.0), static_cast<std::int32_t>(p.lat * 100000.0)};
}

bool Same(const Bin_LonLat& a, const Bin_LonLat& b) { return a.lon == b.lon && a.lat == b.lat; }

// Direction from a to b in degrees counterclockwise from east, 0 to 360, on
// the plane of longitude and latitude.
double Bearing(double dx, double dy) {
  const double d = std::atan2(dy, dx) * 180.0 / std::numbers::pi;
  return d < 0 ? d + 360.0 : d;
}
double Bearing(const Bin_LonLat& a, const Bin_LonLat& b) {
  return Bearing(static_cast<double>(b.lon - a.lon), static_cast<double>(b.lat - a.lat));
}
double Bearing(const tagLonLat& a, const tagLonLat& b) {
  return Bearing(b.lon - a.lon, b.lat - a.lat);
}

// Turn from heading aIn into heading aOut: 0 straight, 90 left, 270 right.
double Turn(double aIn, double aOut) { return std::fmod(aOut - aIn + 720.0, 360.0); }
// Difference of two angles on the circle.
double AngleGap(double a, double b) {
  const double d = std::fabs(std::fmod(a - b + 720.0, 360.0));
  return std::min(d, 360.0 - d);
}

bool SamePoint(const tagLonLat& a, const tagLonLat& b) {
  return std::fabs(a.lon - b.lon) < 1e-9 && std::fabs(a.lat - b.lat) < 1e-9;
}

// One edge handed out by the route engine.
struct Edge {
  std::string code, road, name, attr;
  VRO_FEATURE_ID id{};
  double dLen = 0;
  std::vector<tagLonLat> pts;
};

// An edge of a path as its iteration shows it.
struct PathEdge {
  VRO_FEATURE_ID id{};
  const tagLonLat* pPts = nullptr;
  std::vector<tagLonLat> pts;
};

// A road driven into a junction: its id (with the direction flag when driven
// against its digitisation) and its points in the order of travel.
struct Arrival {
  VRO_FEATURE_ID id{};
  std::vector<tagLonLat> pts;
};

// The match GetCrossEdge reads: arriving over the road, at its end; it
// points into the arrival, which must outlive it.
NavGuid Guid(const Arrival& in) {
  NavGuid nav{};
  nav.idEdge = in.id;
  nav.wPtNum = static_cast<unsigned short>(in.pts.size());
  nav.pPts = const_cast<tagLonLat*>(in.pts.data());
  nav.ptEnd = in.pts.back();
  return nav;
}

// A road met at a junction: its other end and the turn angle into it.
struct Seen {
  Bin_LonLat end;
  double dAngle;
};

class Town : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_hReader = VroReaderOpen(VX_SOURCE_DIR "/data/sample-town.osm");
    if (s_hReader != nullptr) s_hRoute = VroRouteOpen(s_hReader);
  }
  static void TearDownTestSuite() {
    VroRouteClose(s_hRoute);
    VroReaderClose(s_hReader);
    s_hRoute = nullptr;
    s_hReader = nullptr;
  }
  void SetUp() override {
    ASSERT_NE(s_hReader, nullptr) << VroReaderLastError();
    ASSERT_NE(s_hRoute, nullptr);
    m_pNet = vxnet::NetworkOfReader(s_hReader);
    ASSERT_NE(m_pNet, nullptr);
  }

  Bin_LonLat FirstPoint(std::uint32_t f) const {
    return m_pNet->points[m_pNet->features[f].nFirstPoint];
  }
  Bin_LonLat LastPoint(std::uint32_t f) const {
    const vxnet::Feature& ft = m_pNet->features[f];
    return m_pNet->points[ft.nFirstPoint + ft.nPointCount - 1];
  }

  // The road from map point a to map point b as a driver arrives over it.
  Arrival Road(const Bin_LonLat& a, const Bin_LonLat& b) const {
    Arrival r;
    for (std::uint32_t f = 0; f < m_pNet->features.size(); ++f) {
      const bool bForward = Same(FirstPoint(f), a) && Same(LastPoint(f), b);
      if (!bForward && !(Same(FirstPoint(f), b) && Same(LastPoint(f), a))) continue;
      const vxnet::Feature& ft = m_pNet->features[f];
      for (std::uint32_t i = 0; i < ft.nPointCount; ++i) {
        r.pts.push_back(Degrees(m_pNet->points[ft.nFirstPoint + i]));
      }
      if (!bForward) std::reverse(r.pts.begin(), r.pts.end());
      r.id = vxnet::FeatureIdOf(f, !bForward);
      return r;
    }
    ADD_FAILURE() << "no road from " << a.lon << "," << a.lat << " to " << b.lon << "," << b.lat;
    return r;
  }

  // The roads GetCrossEdge reports at the end of the arrival, found by their
  // far end.
  std::vector<Seen> Cross(const Arrival& in, int bTurnCheck, int bLevelCheck) const {
    const NavGuid nav = Guid(in);
    VRO_FEATURE_ID ids[16];
    double angles[16];
    const int n = CPath::GetCrossEdge(s_hReader, nav, ids, angles, 16, bTurnCheck, bLevelCheck,
                                      nullptr, '1', '7');
    const Bin_LonLat at = MapPoint(in.pts.back());
    std::vector<Seen> seen;
    for (int i = 0; i < n; ++i) {
      std::uint32_t f = 0;
      bool bReversed = false;
      EXPECT_TRUE(vxnet::DecodeFeatureId(ids[i], f, bReversed));
      EXPECT_FALSE(VroReaderIsSameFeature(s_hReader, ids[i], in.id));
      seen.push_back({Same(FirstPoint(f), at) ? LastPoint(f) : FirstPoint(f), angles[i]});
    }
    return seen;
  }

  // Routes from a to z and hands out every edge; empty when there is none.
  static std::vector<Edge> Route(const tagLonLat& a, const tagLonLat& z, double dAngle,
                                 const char* szMode) {
    std::vector<Edge> edges;
    const int nFound = VroRouteFindPath(s_hRoute, a, z, dAngle, 0, szMode, 0, nullptr);
    if (nFound < 0) return edges;
    // A route of no edges has nothing to retrieve.
    EXPECT_EQ(VroRouteRetrieveStart(s_hRoute), nFound > 0 ? 1 : 0);
    char code[6], road[21], name[301], attr[100];
    Edge e;
    tagLonLat* p = nullptr;
    int n = 0;
    while ((n = VroRouteRetrieveNextEdgeEx(s_hRoute, code, road, name, attr, e.id, e.dLen, p)) >
           0) {
      e.code = code;
      e.road = road;
      e.name = name;
      e.attr = attr;
      e.pts.assign(p, p + n);
      edges.push_back(e);
    }
    EXPECT_EQ(edges.size(), static_cast<std::size_t>(nFound));
    VroRouteReset(s_hRoute);
    return edges;
  }
  // No block is left in the engine: the query finds the same roads again.
  static void ExpectRoutedAgain(const tagLonLat& a, const tagLonLat& z, const char* szMode,
                                const std::vector<Edge>& edges) {
    const std::vector<Edge> again = Route(a, z, -1, szMode);
    ASSERT_EQ(again.size(), edges.size());
    for (std::size_t i = 0; i < again.size(); ++i) {
      EXPECT_TRUE(VroReaderIsSameFeature(s_hReader, again[i].id, edges[i].id));
    }
  }
  // The turn angles GetCrossEdge gives at the end of the match into the
  // road of idNext (one, when the junction offers it); n is the number of
  // roads found.
  static std::vector<double> AnglesInto(const NavGuid& nav, const VRO_FEATURE_ID& idNext,
                                        int bCheck, int& n) {
    VRO_FEATURE_ID ids[16];
    double angles[16];
    n = CPath::GetCrossEdge(s_hReader, nav, ids, angles, 16, bCheck, bCheck, nullptr, '1', '7');
    std::vector<double> v;
    for (int k = 0; k < n; ++k) {
      if (VroReaderIsSameFeature(s_hReader, ids[k], idNext) != 0) v.push_back(angles[k]);
    }
    return v;
  }
  // Adds the edges to an empty path; the number accepted.
  static int Fill(CPath& path, const std::vector<Edge>& edges) {
    path.BeginAddEdge();
    int nAccepted = 0;
    for (const Edge& e : edges) {
      nAccepted +=
          path.AddEdge(e.code.c_str(), e.road.c_str(), e.name.c_str(), e.attr.c_str(),
                       static_cast<unsigned short>(e.pts.size()), e.pts.data(), e.id, e.dLen);
    }
    return nAccepted;
  }
  friend void DriveAlong(const CPath& path, const std::vector<Edge>& edges);
  static std::vector<PathEdge> Edges(const CPath& path) {
    std::vector<PathEdge> v;
    if (path.StartEdge() == 0) return v;
    unsigned short n = 0;
    tagLonLat* p = nullptr;
    PathEdge e;
    while (path.NextEdge(n, p, e.id) != 0) {
      e.pPts = p;
      e.pts.assign(p, p + n);
      v.push_back(e);
    }
    return v;
  }
  // Every edge begins where the one before it ends.
  static void ExpectJoined(const std::vector<PathEdge>& v) {
    for (std::size_t i = 1; i < v.size(); ++i) {
      EXPECT_TRUE(SamePoint(v[i - 1].pts.back(), v[i].pts.front())) << "edge " << i;
    }
  }

  // Direction of the feature of id away from its end at junction pt, from
  // its map points.
  double Leaving(const VRO_FEATURE_ID& id, const tagLonLat& pt) const {
    std::uint32_t f = 0;
    bool bReversed = false;
    EXPECT_TRUE(vxnet::DecodeFeatureId(id, f, bReversed));
    const vxnet::Feature& ft = m_pNet->features[f];
    const Bin_LonLat* p = &m_pNet->points[ft.nFirstPoint];
    const Bin_LonLat at = MapPoint(pt);
    return Same(p[0], at) ? Bearing(p[0], p[1])
                          : Bearing(p[ft.nPointCount - 1], p[ft.nPointCount - 2]);
  }

  tagLonLat NodePoint(std::size_t i) const { return Degrees(m_pNet->nodes[i]); }
  // A network node or a point inside a feature, at random.
  tagLonLat AnyPoint(std::mt19937& rng) const {
    if (rng() % 2 == 0) return NodePoint(rng() % m_pNet->nodes.size());
    const vxnet::Feature& f = m_pNet->features[rng() % m_pNet->features.size()];
    const std::uint32_t i = f.nFirstPoint + static_cast<std::uint32_t>(rng() % (f.nPointCount - 1));
    const tagLonLat a = Degrees(m_pNet->points[i]), b = Degrees(m_pNet->points[i + 1]);
    return {(a.lon + b.lon) / 2, (a.lat + b.lat) / 2};
  }

  static VRO_READER* s_hReader;
  static VRO_ROUTE* s_hRoute;
  const vxnet::NetworkView* m_pNet = nullptr;
};

VRO_READER* Town::s_hReader = nullptr;
VRO_ROUTE* Town::s_hRoute = nullptr;

// The roads seen match the expected ones, in any order.
void ExpectRoads(std::vector<Seen> seen, std::vector<Seen> want) {
  auto byEnd = [](const Seen& a, const Seen& b) {
    return std::tie(a.end.lon, a.end.lat) < std::tie(b.end.lon, b.end.lat);
  };
  std::sort(seen.begin(), seen.end(), byEnd);
  std::sort(want.begin(), want.end(), byEnd);
  ASSERT_EQ(seen.size(), want.size());
  for (std::size_t i = 0; i < want.size(); ++i) {
    EXPECT_TRUE(Same(seen[i].end, want[i].end))
        << "road " << i << " ends at " << seen[i].end.lon << "," << seen[i].end.lat;
    EXPECT_LT(AngleGap(seen[i].dAngle, want[i].dAngle), 0.2)
        << "road " << i << ": " << seen[i].dAngle << " instead of " << want[i].dAngle;
  }
}

// A drawn map's nodes lie on the documented grid, its words become the
// tags and members written; mistakes are refused rather than drawn into
// another map.
TEST(SketchMap, GridTagsMembersAndMistakes) {
  SketchMap m(R"(
    c
    |
a---b
  )");
  m.Ways("ab 'Smith & Sons' primary; bc oneway=yes")
      .Node('b', "highway=traffic_signals")
      .Relation("restriction:hgv=no_u_turn except=motorcar from:ab via:bc to:ab");
  const SketchReader s(m);
  EXPECT_NEAR(SegmentLength(s.At('a'), s.At('b')), 40.0, 0.8);
  EXPECT_NEAR(SegmentLength(s.At('b'), s.At('c')), 40.0, 0.8);
  EXPECT_EQ(s.At('b').lon, s.At('c').lon);
  EXPECT_EQ(m.Xml(), R"(<?xml version="1.0" encoding="UTF-8"?>
<osm version="0.6">
<node id="97" lat="52.49946" lon="13.40000"/>
<node id="98" lat="52.49946" lon="13.40060">
  <tag k="highway" v="traffic_signals"/>
</node>
<node id="99" lat="52.49982" lon="13.40060"/>
<way id="1">
  <nd ref="97"/>
  <nd ref="98"/>
  <tag k="name" v="Smith &amp; Sons"/>
  <tag k="highway" v="primary"/>
</way>
<way id="2">
  <nd ref="98"/>
  <nd ref="99"/>
  <tag k="highway" v="residential"/>
  <tag k="oneway" v="yes"/>
</way>
<relation id="1">
  <member type="way" ref="1" role="from"/>
  <member type="way" ref="2" role="via"/>
  <member type="way" ref="1" role="to"/>
  <tag k="type" v="restriction"/>
  <tag k="restriction:hgv" v="no_u_turn"/>
  <tag k="except" v="motorcar"/>
</relation>
</osm>
)");
  EXPECT_THROW(SketchMap("a--a"), std::invalid_argument);
  EXPECT_THROW(m.Ways("ax"), std::invalid_argument);
  EXPECT_THROW(m.Ways("a 'x'"), std::invalid_argument);
  EXPECT_THROW(m.Relation("from:ac via:b"), std::invalid_argument);
  EXPECT_THROW(m.Relation("from:ab via:b to:bc restriction"), std::invalid_argument);
  EXPECT_THROW(m.Node('b', "highway"), std::invalid_argument);
  EXPECT_THROW(s.Cross("ac"), std::invalid_argument);
}

// A closure on the road the vehicle is on (CPath::BlockRoute with the block
// inside the matched edge): the new route never goes on along the closed
// road in the direction of travel. It turns back on it where that may be
// driven, else starts on the nearest open road; without either the path
// stays as it was.
TEST(Closure, OnTheRoadDrivenTheRouteTurnsBackOrLeavesByTheNearestOpenRoad) {
  SketchMap m(R"(
a-------b-------c-------d
        |       |
        |       |
        e-------f
  )");
  const SketchReader s(m.Ways("ab; bc; cd; be; ef; fc"));
  // Eastwards a quarter along bc, the road closed 20 m ahead; then westwards.
  CPath east = s.RoutePath(s.At('a'), s.At('d'));
  ASSERT_EQ(s.PathText(east), "ab bc cd");
  EXPECT_EQ(
      east.BlockRoute(s.Engine(), 20.0, 30.0, s.Between('b', 'c', 0.25), 0.0, 0, "shortest", 0), 1);
  EXPECT_EQ(s.PathText(east), "*b be ef fc cd");
  CPath west = s.RoutePath(s.At('d'), s.At('a'));
  ASSERT_EQ(s.PathText(west), "dc cb ba");
  EXPECT_EQ(
      west.BlockRoute(s.Engine(), 20.0, 30.0, s.Between('b', 'c', 0.75), 180.0, 0, "shortest", 0),
      1);
  EXPECT_EQ(s.PathText(west), "*c cf fe eb ba");

  // bc one-way: no turning back on it; the route starts on the nearest open
  // road, at b.
  SketchMap one(R"(
a-------b-------c-------d
        |       |
        |       |
        e-------f
  )");
  const SketchReader o(one.Ways("ab; bc oneway=yes; cd; be; ef; fc"));
  CPath path = o.RoutePath(o.At('a'), o.At('d'));
  ASSERT_EQ(o.PathText(path), "ab bc cd");
  EXPECT_EQ(
      path.BlockRoute(o.Engine(), 20.0, 30.0, o.Between('b', 'c', 0.25), 0.0, 0, "shortest", 0), 1);
  EXPECT_EQ(o.PathText(path), "be ef fc cd");

  // Nothing but the closed one-way leads on: no route, the path unchanged.
  SketchMap end(R"(
a-------b-------c
  )");
  const SketchReader n(end.Ways("ab; bc oneway=yes"));
  CPath dead = n.RoutePath(n.At('a'), n.At('c'));
  ASSERT_EQ(n.PathText(dead), "ab bc");
  EXPECT_EQ(
      dead.BlockRoute(n.Engine(), 20.0, 30.0, n.Between('b', 'c', 0.25), 0.0, 0, "shortest", 0), 0);
  EXPECT_EQ(n.PathText(dead), "ab bc");
}

// The roads a driver sees at drawn junctions, through the real map reader:
// "wx" is the arrival from w into x, each road is named by its first two
// nodes from the junction, with its turn angle (90 left, 270 right).
TEST(Junction, FourWayCrossing) {
  SketchMap m(R"(
        n
        |
    w---x---e
        |
        s
  )");
  const SketchReader s(m.Ways("wxe; sxn"));
  for (int bTurn : {0, 1}) {
    for (int bLevel : {0, 1}) EXPECT_EQ(s.Cross("wx", bTurn, bLevel), "xe 0, xn 90, xs 270");
  }
  // Southwards, against the digitisation of sxn.
  EXPECT_EQ(s.Cross("nx"), "xs 0, xe 90, xw 270");
}

TEST(Junction, OneWayStreetsIntoTheJunctionLeftOut) {
  SketchMap m(R"(
        h
        |
    a---b---c
        |
    d---e---f
        |
        g
  )");
  const SketchReader s(m.Ways("abc oneway=yes; def oneway=-1; gebh"));
  // abc leads only into b from a, def only into e from f.
  EXPECT_EQ(s.Cross("eb", 0, 0), "bh 0, ba 90, bc 270");
  EXPECT_EQ(s.Cross("eb", 1, 0), "bh 0, bc 270");
  EXPECT_EQ(s.Cross("ge", 0, 0), "eb 0, ed 90, ef 270");
  EXPECT_EQ(s.Cross("ge", 1, 0), "eb 0, ed 90");
  EXPECT_EQ(s.Route('a', 'c'), "ab bc");
  EXPECT_EQ(s.Route('c', 'a'), "no route");
  EXPECT_EQ(s.Route('f', 'd'), "fe ed");
  EXPECT_EQ(s.Route('d', 'f'), "no route");
}

// A forbidden turn is missing from the junction and the route goes round it.
TEST(Junction, TurnRestrictionsLeaveRoadsOutAndRoutesGoRound) {
  SketchMap m(R"(
d-------c    f
 \      |    |
  \     |    |
   a----b----e----g
             |
             h
  )");
  m.Ways("ad; dc; ab; bc; be; ef; eg; he");
  {
    const SketchReader free(m);
    EXPECT_EQ(free.Route('a', 'c'), "ab bc");
  }
  const SketchReader s(m.Relation("restriction=no_left_turn from:ab via:b to:bc")
                           .Relation("restriction=only_straight_on from:he via:e to:ef"));
  EXPECT_EQ(s.Cross("ab", 0, 0), "be 0, bc 90");
  EXPECT_EQ(s.Cross("ab", 1, 1), "be 0");
  // The list of forbidden turns is the arriving road's, read with the level check.
  EXPECT_EQ(s.Cross("ab", 1, 0), "be 0, bc 90");
  EXPECT_EQ(s.Cross("eb"), "ba 0, bc 270");
  EXPECT_EQ(s.Cross("he", 0, 0), "ef 0, eb 90, eg 270");
  EXPECT_EQ(s.Cross("he"), "ef 0");
  EXPECT_EQ(s.Route('a', 'c'), "ad dc");
  EXPECT_EQ(s.Route('c', 'a'), "cb ba");
  // Only straight on: on to the dead end at f and back.
  EXPECT_EQ(s.Route('h', 'g'), "he ef fe eg");
}

// A bridge x (drawn on b) over the street wbe, and a service road to a car
// park at p: the level check keeps the bridge and the street apart.
TEST(Junction, BridgeMeetsNoRoadOfTheStreetBelowAndDeadEndsNone) {
  SketchMap m(R"(
        n
        |
    w---b---e
        | \
        s   p
  )");
  const SketchReader s(m.Place('x', 'b').Ways("wbe; sx bridge=yes; xn bridge=yes; bp service"));
  EXPECT_EQ(s.Cross("sx", 0, 0), "xn 0, bw 90, bp 239, be 270");
  EXPECT_EQ(s.Cross("sx", 1, 1), "xn 0");
  EXPECT_EQ(s.Cross("sx", 0, 1), "xn 0");
  EXPECT_EQ(s.Cross("nx"), "xs 0");
  EXPECT_EQ(s.Cross("wb", 0, 0), "be 0, xn 90, xs 270, bp 329");
  EXPECT_EQ(s.Cross("wb"), "be 0, bp 329");
  EXPECT_EQ(s.Cross("bp", 0, 0), "");
  EXPECT_EQ(s.Cross("pb"), "bw 31, be 211");
}

TEST(Junction, RoundaboutIsEnteredOnlyCounterclockwise) {
  SketchMap m(R"(
        n
        |
        b
      /   \
w---a       c---e
      \   /
        d
        |
        s
  )");
  const SketchReader s(m.Ways("adcba junction=roundabout; wa; bn; ce; ds"));
  EXPECT_EQ(s.Cross("wa", 0, 0), "ab 31, ad 329");
  EXPECT_EQ(s.Cross("wa"), "ad 329");
  EXPECT_EQ(s.Cross("ad"), "dc 62, ds 301");
  EXPECT_EQ(s.Route('w', 'n'), "wa ad dc cb bn");
}

// Index of the path edge whose points lie at p.
std::size_t EdgeIndex(const std::vector<PathEdge>& v, const tagLonLat* p) {
  for (std::size_t i = 0; i < v.size(); ++i) {
    if (v[i].pPts == p) return i;
  }
  ADD_FAILURE() << "not an edge of the path";
  return v.size();
}

TEST_F(Town, EveryJunctionAsTheMapDescribesIt) {
  // Every feature driven into either end, against the roads the network
  // holds at that point: one-way marks, levels and forbidden turns applied.
  const vxnet::NetworkView& net = *m_pNet;
  int nRoads = 0;
  for (std::uint32_t f = 0; f < net.features.size(); ++f) {
    for (const bool bReversed : {false, true}) {
      const vxnet::Feature& ft = net.features[f];
      const Bin_LonLat from = bReversed ? LastPoint(f) : FirstPoint(f);
      const Bin_LonLat at = bReversed ? FirstPoint(f) : LastPoint(f);
      const Arrival in = Road(from, at);
      const std::uint32_t nVia = bReversed ? ft.nFromNode : ft.nToNode;
      const int nLevel = bReversed ? ft.nLevelFirst : ft.nLevelLast;
      const double aIn = Bearing(in.pts[in.pts.size() - 2], in.pts.back());
      std::vector<Seen> want;
      for (std::uint32_t g = 0; g < net.features.size(); ++g) {
        const vxnet::Feature& gt = net.features[g];
        const bool bStart = Same(FirstPoint(g), at);
        if (g == f || (!bStart && !Same(LastPoint(g), at))) continue;
        if (gt.nOneWay == (bStart ? -1 : 1)) continue;
        if ((bStart ? gt.nLevelFirst : gt.nLevelLast) != nLevel) continue;
        if (std::binary_search(net.forbidden.begin(), net.forbidden.end(),
                               vxnet::ForbiddenTurn{f, nVia, g}, [](const auto& x, const auto& y) {
                                 return std::tie(x.nFrom, x.nVia, x.nTo) <
                                        std::tie(y.nFrom, y.nVia, y.nTo);
                               })) {
          continue;
        }
        const Bin_LonLat* p = &net.points[gt.nFirstPoint];
        const double aOut =
            bStart ? Bearing(p[0], p[1]) : Bearing(p[gt.nPointCount - 1], p[gt.nPointCount - 2]);
        want.push_back({bStart ? LastPoint(g) : FirstPoint(g), Turn(aIn, aOut)});
      }
      nRoads += static_cast<int>(want.size());
      SCOPED_TRACE("feature " + std::to_string(f) + (bReversed ? " reversed" : ""));
      ExpectRoads(Cross(in, 1, 1), want);
    }
  }
  EXPECT_GT(nRoads, 400);
}

TEST_F(Town, CategoryAndPriorityChooseRoadClasses) {
  // Eastwards on Fliederstraße (class 6) at Finkenstraße (class 5).
  const Arrival in = Road(At(2, 3), At(3, 3));
  const NavGuid nav = Guid(in);
  VRO_FEATURE_ID ids[8];
  double angles[8];
  auto count = [&](const char* szCat, char c1, char c2) {
    return CPath::GetCrossEdge(s_hReader, nav, ids, angles, 8, 0, 0, szCat, c1, c2);
  };
  EXPECT_EQ(count("5", '1', '7'), 2);
  EXPECT_EQ(count("", '1', '7'), 0);
  EXPECT_EQ(count(nullptr, '7', '6'), 1);
  EXPECT_EQ(count(nullptr, '1', '4'), 0);
  // Only the first seven characters count: the eighth, "6", does not.
  EXPECT_EQ(count("1234577"
                  "6",
                  '1', '7'),
            2);
}

TEST_F(Town, EngineRoutesCarryIntoThePath) {
  std::mt19937 rng(23);
  int nRoutes = 0, nJunctions = 0;
  for (int q = 0; q < 60; ++q) {
    const tagLonLat a = AnyPoint(rng), z = AnyPoint(rng);
    const std::vector<Edge> edges = Route(a, z, -1, q % 2 ? "shortest" : "fastest");
    if (edges.size() < 2) continue;
    ++nRoutes;
    CPath path;
    ASSERT_EQ(Fill(path, edges), static_cast<int>(edges.size()));
    const std::vector<PathEdge> v = Edges(path);
    ASSERT_EQ(v.size(), edges.size());
    ExpectJoined(v);
    // One guidance item per edge, each turn as the points show it.
    ASSERT_NE(path.StartGuid(), 0);
    PathGuid g{};
    for (std::size_t i = 0; i < edges.size(); ++i) {
      ASSERT_NE(path.NextGuid(g), 0) << "item " << i;
      if (i + 1 == edges.size()) {
        EXPECT_EQ(g.dTurnAngle, -1.0);
        break;
      }
      const std::vector<tagLonLat>& in = edges[i].pts;
      const std::vector<tagLonLat>& out = edges[i + 1].pts;
      const double dTurn = Turn(Bearing(in[in.size() - 2], in.back()), Bearing(out[0], out[1]));
      EXPECT_GE(g.dTurnAngle, 0.0);
      EXPECT_LE(g.dTurnAngle, 360.0);
      EXPECT_LT(AngleGap(g.dTurnAngle, dTurn), 0.2) << "item " << i;
      EXPECT_TRUE(SamePoint(g.ptEnd, in.back()));
      EXPECT_EQ(std::string(g.szName), edges[i].name);
      EXPECT_EQ(std::string(g.szNextName), edges[i + 1].name);
      EXPECT_EQ(g.nCode, std::atoi(edges[i].road.c_str() + 1));
      EXPECT_EQ(g.nRoadAttr, std::atoi(edges[i].attr.c_str()));

      // The junction at the edge's end, with the road the route takes on.
      NavGuid nav{};
      static_cast<PathGuid&>(nav) = g;
      for (int bCheck : {0, 1}) {
        int n = 0;
        const std::vector<double> into = AnglesInto(nav, edges[i + 1].id, bCheck, n);
        ASSERT_EQ(into.size(), 1u)
            << "item " << i << " of route " << q << (bCheck ? " with" : " without") << " checks";
        // The road's own first stretch from the junction, which a piece of
        // it cut at the target may point a little off.
        EXPECT_LT(AngleGap(into[0], Turn(Bearing(in[in.size() - 2], in.back()),
                                         Leaving(edges[i + 1].id, in.back()))),
                  0.2);
        // Turning back happens only at dead ends.
        if (AngleGap(g.dTurnAngle, 180.0) < 1.0) {
          EXPECT_EQ(n, 0);
        }
      }
      ++nJunctions;
    }
    EXPECT_EQ(path.NextGuid(g), 0);
  }
  EXPECT_GT(nRoutes, 40);
  EXPECT_GT(nJunctions, 200);
}

// Drives along the route's points (about every 7 m, each vertex included,
// with the heading of the segment driven) and matches each position: on the
// path until the last 20 m, then arrived; the edges in order; the distance
// to the edge's end falling while on one edge.
void DriveAlong(const CPath& path, const std::vector<Edge>& edges) {
  const std::vector<PathEdge> v = Town::Edges(path);
  std::vector<std::pair<tagLonLat, double>> fixes;
  for (const Edge& e : edges) {
    for (std::size_t i = 0; i + 1 < e.pts.size(); ++i) {
      const tagLonLat p = e.pts[i], r = e.pts[i + 1];
      const int nSteps = std::max(1, static_cast<int>(SegmentLength(p, r) / 7.0));
      for (int k = 0; k < nSteps; ++k) {
        const double t = static_cast<double>(k) / nSteps;
        fixes.push_back(
            {{p.lon + t * (r.lon - p.lon), p.lat + t * (r.lat - p.lat)}, Bearing(p, r)});
      }
    }
  }
  fixes.push_back({edges.back().pts.back(), fixes.back().second});

  NavGuid nav{}, prev{};
  bool bArrived = false, bHavePrev = false;
  std::size_t nEdge = 0;
  for (std::size_t f = 0; f < fixes.size(); ++f) {
    const int r =
        path.TestPoint(fixes[f].first, 30.0, nav, fixes[f].second, bHavePrev ? &prev : nullptr);
    ASSERT_TRUE(r == 1 || r == 2) << "fix " << f << " gave " << r;
    const std::size_t nNow = EdgeIndex(v, nav.pPts);
    ASSERT_GE(nNow, nEdge) << "fix " << f << " went back";
    // Arrival is reported on the last edge within 20 m of the end, and
    // stays reported.
    EXPECT_EQ(r == 2, nNow + 1 == v.size() && nav.dDist <= 20.0) << "fix " << f;
    if (bArrived) {
      EXPECT_EQ(r, 2) << "fix " << f;
    }
    bArrived = r == 2;
    if (bHavePrev && nNow == nEdge) {
      EXPECT_LT(nav.dDist, prev.dDist) << "fix " << f;
    }
    EXPECT_LT(SegmentLength(nav.ptClose, fixes[f].first), 0.5);
    // The junction ahead, as the match describes it, offers the next road
    // (unless that is the same road, driven back from a dead end).
    if (r == 1 && nNow + 1 < v.size() &&
        VroReaderIsSameFeature(Town::s_hReader, nav.idEdge, nav.idNext) == 0) {
      int n = 0;
      EXPECT_EQ(Town::AnglesInto(nav, nav.idNext, 1, n).size(), 1u) << "fix " << f;
    }
    nEdge = nNow;
    prev = nav;
    bHavePrev = true;
  }
  EXPECT_TRUE(bArrived);
  EXPECT_EQ(nEdge + 1, v.size());
}

TEST_F(Town, MatchingAlongARoute) {
  std::mt19937 rng(31);
  int nRoutes = 0;
  for (int q = 0; q < 40 && nRoutes < 8; ++q) {
    const std::vector<Edge> edges = Route(NodePoint(rng() % m_pNet->nodes.size()),
                                          NodePoint(rng() % m_pNet->nodes.size()), -1, "fastest");
    if (edges.size() < 3) continue;
    ++nRoutes;
    CPath path;
    ASSERT_EQ(Fill(path, edges), static_cast<int>(edges.size()));
    DriveAlong(path, edges);
  }
  EXPECT_EQ(nRoutes, 8);
}

TEST_F(Town, TurningBackAtADeadEnd) {
  // Westwards inside Am Teich towards its end, bound for Drosselgasse.
  const tagLonLat p = Degrees(At(-0.5, 6.3)), r = Degrees(At(-1, 6.3));
  const tagLonLat start{(p.lon + r.lon) / 2, (p.lat + r.lat) / 2};
  const std::vector<Edge> edges = Route(start, Degrees(At(2, 6)), 180.0, "fastest");
  ASSERT_EQ(edges.size(), 4u);
  EXPECT_TRUE(VroReaderIsSameFeature(s_hReader, edges[0].id, edges[1].id));
  CPath path;
  ASSERT_EQ(Fill(path, edges), 4);
  ASSERT_NE(path.StartGuid(), 0);
  PathGuid g{};
  ASSERT_NE(path.NextGuid(g), 0);
  EXPECT_EQ(g.dTurnAngle, 180.0);
  NavGuid nav{};
  static_cast<PathGuid&>(nav) = g;
  VRO_FEATURE_ID ids[4];
  double angles[4];
  EXPECT_EQ(CPath::GetCrossEdge(s_hReader, nav, ids, angles, 4, 0, 0, nullptr, '1', '7'), 0);
  // Out and back over the same road: the heading tells the two edges apart.
  DriveAlong(path, edges);
}

TEST_F(Town, QuickRouteFromAPositionOffTheRoute) {
  std::mt19937 rng(41);
  int nFull = 0, nJoined = 0;
  for (int q = 0; q < 200 && (nFull < 6 || nJoined < 6); ++q) {
    const tagLonLat a = NodePoint(rng() % m_pNet->nodes.size());
    const tagLonLat z = NodePoint(rng() % m_pNet->nodes.size());
    const std::vector<Edge> edges = Route(a, z, -1, "fastest");
    double dLen = 0;
    for (const Edge& e : edges) dLen += e.dLen;
    if (edges.size() < 4 || dLen < 800.0) continue;
    CPath path;
    ASSERT_EQ(Fill(path, edges), static_cast<int>(edges.size()));
    const std::vector<PathEdge> before = Edges(path);
    // A junction next to the start that the route does not pass.
    NavGuid nav{};
    tagLonLat off{};
    std::size_t nTried = 0;
    for (; nTried < m_pNet->nodes.size(); ++nTried) {
      off = NodePoint(nTried);
      const double d = SegmentLength(off, a);
      if (d > 30.0 && d < 160.0 && path.TestPoint(off, 30.0, nav, -1, nullptr) == 3) break;
    }
    if (nTried == m_pNet->nodes.size()) continue;

    // With a short look-ahead the new route rejoins the path; with the
    // default the whole path is replaced.
    const bool bJoin = q % 2 == 0;
    const int r = bJoin ? path.QuickRoute2(s_hRoute, off, -1, 0, "fastest", 0, 150.0)
                        : path.QuickRoute(s_hRoute, off, -1, 0, "fastest", 0);
    ASSERT_EQ(r, 1) << "route " << q;
    const std::vector<PathEdge> after = Edges(path);
    ASSERT_FALSE(after.empty());
    ExpectJoined(after);
    EXPECT_LT(SegmentLength(after.front().pts.front(), off), 1.0);
    EXPECT_TRUE(SamePoint(after.back().pts.back(), z));
    EXPECT_EQ(path.TestPoint(off, 30.0, nav, -1, nullptr), 1);
    EXPECT_EQ(nav.pPts, after.front().pPts);
    if (bJoin) {
      // The kept edges are the old ones themselves, from the rejoin on.
      std::size_t nKept = 0;
      while (nKept < after.size() && nKept < before.size() &&
             after[after.size() - 1 - nKept].pPts == before[before.size() - 1 - nKept].pPts) {
        ++nKept;
      }
      EXPECT_GE(nKept, 1u);
      EXPECT_LT(nKept, before.size());
      ++nJoined;
    } else {
      // The engine's own route from the position to the destination.
      const std::vector<Edge> direct = Route(off, z, -1, "fastest");
      ASSERT_EQ(after.size(), direct.size());
      for (std::size_t i = 0; i < direct.size(); ++i) {
        EXPECT_EQ(std::memcmp(&after[i].id, &direct[i].id, sizeof(VRO_FEATURE_ID)), 0);
      }
      ++nFull;
    }
  }
  EXPECT_GE(nFull, 6);
  EXPECT_GE(nJoined, 6);
}

TEST_F(Town, BlockRouteFromPositionsAlongTheRoute) {
  // A position inside a random edge, the block a random distance ahead.
  std::mt19937 rng(53);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  int nBlocked = 0, nBeyond = 0;
  for (int q = 0; q < 60; ++q) {
    const tagLonLat a = NodePoint(rng() % m_pNet->nodes.size());
    const tagLonLat z = NodePoint(rng() % m_pNet->nodes.size());
    const std::vector<Edge> edges = Route(a, z, -1, "shortest");
    if (edges.size() < 2) continue;
    CPath path;
    ASSERT_EQ(Fill(path, edges), static_cast<int>(edges.size()));
    const std::size_t k = rng() % edges.size();
    const std::vector<tagLonLat>& e = edges[k].pts;
    const std::size_t i = rng() % (e.size() - 1);
    const double t = unit(rng);
    const tagLonLat pos{e[i].lon + t * (e[i + 1].lon - e[i].lon),
                        e[i].lat + t * (e[i + 1].lat - e[i].lat)};
    double dTotal = 0;
    for (const Edge& x : edges) dTotal += x.dLen;
    const double dBlock = unit(rng) * dTotal;
    // The edge in which the point dBlock ahead lies.
    double dist = SegmentLength(pos, e[i + 1]) +
                  LineLength(static_cast<unsigned short>(e.size() - i - 1), &e[i + 1]);
    std::size_t nBlock = k;
    while (nBlock < edges.size() && dBlock > dist) {
      if (++nBlock < edges.size()) dist += edges[nBlock].dLen;
    }
    const int r =
        path.BlockRoute(s_hRoute, dBlock, 30.0, pos, Bearing(e[i], e[i + 1]), 0, "shortest", 0);
    if (nBlock == edges.size()) {
      EXPECT_EQ(r, 0) << q;
      ++nBeyond;
      continue;
    }
    if (r == 0) continue;  // no way round
    ++nBlocked;
    const std::vector<PathEdge> after = Edges(path);
    ASSERT_FALSE(after.empty());
    ExpectJoined(after);
    EXPECT_TRUE(SamePoint(after.back().pts.back(), z));
    // The blocked road is driven only where the position itself lies on it.
    for (std::size_t j = 0; j < after.size(); ++j) {
      if (nBlock == k && j == 0) continue;
      EXPECT_EQ(VroReaderIsSameFeature(s_hReader, after[j].id, edges[nBlock].id), 0)
          << "route " << q << " edge " << j;
    }
    ExpectRoutedAgain(a, z, "shortest", edges);
  }
  EXPECT_GT(nBlocked, 20);
  EXPECT_GT(nBeyond, 5);
}

TEST_F(Town, ReroutingAtTheDestinationKeepsThePath) {
  // A vehicle that reaches the destination off the path (or is rerouted
  // there) gets no route of no edges: the path and its destination stand.
  const tagLonLat a = Degrees(At(1, 2)), z = Degrees(At(5, 2));
  const std::vector<Edge> edges = Route(a, z, -1, "fastest");
  ASSERT_EQ(edges.size(), 4u);
  CPath path;
  ASSERT_EQ(Fill(path, edges), 4);
  EXPECT_EQ(path.QuickRoute(s_hRoute, z, -1, 0, "fastest", 0), 0);
  ASSERT_EQ(Edges(path).size(), 4u);
  EXPECT_TRUE(SamePoint(Edges(path).back().pts.back(), z));
  // Blocking the last road from right at the destination changes nothing
  // either, and leaves no block behind.
  EXPECT_EQ(path.BlockRoute(s_hRoute, 0.0, 30.0, z, 0.0, 0, "fastest", 0), 0);
  ASSERT_EQ(Edges(path).size(), 4u);
  ExpectRoutedAgain(a, z, "fastest", edges);
  // From a position on the path the route still goes on to the destination.
  EXPECT_EQ(path.QuickRoute(s_hRoute, Degrees(At(2, 2)), 0.0, 0, "fastest", 0), 1);
  EXPECT_EQ(Edges(path).size(), 3u);
}

}  // namespace
