// Rebuilding the path through a scripted route engine: the engine calls and
// their arguments, which edges are released and which kept, the links after
// the join, failures leaving the path as it was, blocks always removed, and
// a route that appends no edge.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "CPath/CPath.h"
#include "interfaces/VroGeo.h"
#include "interfaces/VroRoute.h"
#include "tests/FakeText.h"

namespace {

struct EngineEdge {
  std::string code = "00000";
  std::string road = "R3";
  std::string name;
  std::string attr = "50";
  VRO_FEATURE_ID id{};
  double dLen = 0.0;
  std::vector<tagLonLat> pts;
};

}  // namespace

// The scripted engine: its answers, the route it delivers, the blocks it
// holds, the arguments of the last route search and a log of every call.
struct VRO_ROUTE {
  int nFind = 0;
  int nStart = 1;
  std::vector<EngineEdge> edges;
  std::size_t nNext = 0;
  std::vector<std::uint32_t> blocked;
  std::vector<std::string> log;
  tagLonLat ptStart{};
  tagLonLat ptEnd{};
  double dAngle = 0, dArg1 = 0, dArg2 = 0;
  std::string szArg;
  std::string szEndName;
  bool bEndNameNull = false;
};

int VroRouteFindPath(VRO_ROUTE* h, tagLonLat ptStart, const tagLonLat& ptEnd, double dAngle,
                     double dRouteArg1, const char* szRouteArg, double dRouteArg2,
                     const char* szEndName) {
  h->log.push_back("Find");
  h->ptStart = ptStart;
  h->ptEnd = ptEnd;
  h->dAngle = dAngle;
  h->dArg1 = dRouteArg1;
  h->dArg2 = dRouteArg2;
  h->szArg = szRouteArg;
  h->bEndNameNull = szEndName == nullptr;
  h->szEndName = szEndName != nullptr ? szEndName : "";
  return h->nFind;
}

int VroRouteRetrieveStart(VRO_ROUTE* h) {
  h->log.push_back("Start");
  h->nNext = 0;
  return h->nStart;
}

int VroRouteRetrieveNextEdgeEx(VRO_ROUTE* h, char* szCode, char* szStr1, char* szStr2,
                               char* szRoadAttr, VRO_FEATURE_ID& id, double& dEdgeLen,
                               tagLonLat*& pPts) {
  if (h->nNext >= h->edges.size()) {
    h->log.push_back("Next end");
    return 0;
  }
  EngineEdge& e = h->edges[h->nNext++];
  h->log.push_back("Next");
  PutText(szCode, 6, e.code);
  PutText(szStr1, 21, e.road);
  PutText(szStr2, 301, e.name);
  PutText(szRoadAttr, 100, e.attr);
  id = e.id;
  dEdgeLen = e.dLen;
  pPts = e.pts.data();
  return static_cast<int>(e.pts.size());
}

void VroRouteReset(VRO_ROUTE* h) { h->log.push_back("Reset"); }

void VroRouteAddBlockEdge(VRO_ROUTE* h, const VRO_FEATURE_ID& id) {
  h->log.push_back("Block " + std::to_string(id.dw[0]));
  h->blocked.push_back(id.dw[0]);
}

void VroRouteRemoveAllBlockEdge(VRO_ROUTE* h) {
  h->log.push_back("Unblock");
  h->blocked.clear();
}

namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// A path that shows its list and counts the calls of its own Clear.
class TestPath : public CPath {
 public:
  int nClears = 0;
  void Clear() override {
    ++nClears;
    CPath::Clear();
  }
  const NavEdge* Head() const { return pHead; }
  const NavEdge* Tail() const { return pTail; }
  double MatchDist() const { return dMatchDist; }
  double AheadDist() const { return dAheadDist; }

  // The edges from the head on, after checking the links both ways.
  std::vector<const NavEdge*> Edges() const {
    std::vector<const NavEdge*> v;
    if (pHead == nullptr) {
      EXPECT_EQ(pTail, nullptr);
      return v;
    }
    EXPECT_EQ(pHead->pPrev, nullptr);
    for (const NavEdge* e = pHead; e != nullptr; e = e->pNext) {
      if (!v.empty()) {
        EXPECT_EQ(e->pPrev, v.back());
      }
      v.push_back(e);
    }
    EXPECT_EQ(v.back(), pTail);
    std::vector<const NavEdge*> back;
    for (const NavEdge* e = pTail; e != nullptr; e = e->pPrev) {
      back.insert(back.begin(), e);
    }
    EXPECT_EQ(back, v);
    return v;
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> v;
    for (const NavEdge* e : Edges()) {
      v.emplace_back(e->szName != nullptr ? e->szName : "");
    }
    return v;
  }
};

VRO_FEATURE_ID Id(std::uint32_t n) { return {{n, 7, 7, 7}}; }

// Edges E1..En of 0.1 degree each, eastward along the equator, with feature
// ids 1..n; their lengths are the geodesic ones (about 11132 m).
void BuildLine(TestPath& path, int n) {
  path.BeginAddEdge();
  for (int k = 0; k < n; ++k) {
    const tagLonLat pts[2] = {{0.1 * k, 0.0}, {0.1 * (k + 1), 0.0}};
    char name[16];
    std::snprintf(name, sizeof name, "E%d", k + 1);
    ASSERT_EQ(
        path.AddEdge("00000", "R4", name, "30", 2, pts, Id(static_cast<std::uint32_t>(k + 1))), 1);
  }
  path.nClears = 0;
}

// An engine edge from a to b named szName.
EngineEdge NewEdge(const char* szName, tagLonLat a, tagLonLat b, std::uint32_t nId = 100) {
  EngineEdge e;
  e.name = szName;
  e.id = Id(nId);
  e.dLen = 123.5;
  e.pts = {a, b};
  return e;
}

// A position about 11 m north of the middle of E1.
constexpr tagLonLat kOnE1 = {0.05, 0.0001};
// A position about 11 m north of the first point of E1.
constexpr tagLonLat kAtStart = {0.0, 0.0001};

void ExpectPoint(const tagLonLat& p, double lon, double lat) {
  EXPECT_DOUBLE_EQ(p.lon, lon);
  EXPECT_DOUBLE_EQ(p.lat, lat);
}

TEST(QuickRoute, JoinsTheNewEdgesToTheKeptPart) {
  TestPath path;
  BuildLine(path, 8);
  const std::vector<const CPath::NavEdge*> old = path.Edges();
  VRO_ROUTE r;
  r.edges = {NewEdge("N1", kOnE1, {0.3, 0.001}, 101), NewEdge("N2", {0.3, 0.001}, {0.5, 0.0}, 102)};
  ASSERT_EQ(path.QuickRoute(&r, kOnE1, 45.0, 1.5, "fastest", 2.5), 1);
  EXPECT_THAT(r.log, ElementsAre("Find", "Start", "Next", "Next", "Next end", "Reset"));
  // The rejoin edge is E6: E1's remaining half and E2..E5 reach 50 km.
  ExpectPoint(r.ptStart, kOnE1.lon, kOnE1.lat);
  ExpectPoint(r.ptEnd, 0.5, 0.0);
  EXPECT_EQ(r.szEndName, "E6");
  EXPECT_EQ(r.dAngle, 45.0);
  EXPECT_EQ(r.dArg1, 1.5);
  EXPECT_EQ(r.szArg, "fastest");
  EXPECT_EQ(r.dArg2, 2.5);
  EXPECT_EQ(path.MatchDist(), 2000.0);
  EXPECT_EQ(path.AheadDist(), 50000.0);

  std::vector<const CPath::NavEdge*> now = path.Edges();
  EXPECT_THAT(path.Names(), ElementsAre("N1", "N2", "E6", "E7", "E8"));
  ASSERT_EQ(now.size(), 5u);
  // The kept edges are the very records of the old path, the tail included.
  EXPECT_EQ(now[2], old[5]);
  EXPECT_EQ(now[4], old[7]);
  EXPECT_EQ(path.Tail(), old[7]);
  EXPECT_EQ(now[0]->id.dw[0], 101u);
  EXPECT_EQ(now[1]->dEdgeLen, 123.5);
  EXPECT_EQ(now[1]->nCode, 3);
  EXPECT_EQ(now[1]->nRoadAttr, 50);
  ExpectPoint(now[1]->pts[0], 0.3, 0.001);
  EXPECT_EQ(path.nClears, 0);
}

TEST(QuickRoute, MatchingFollowsTheRebuiltList) {
  TestPath path;
  BuildLine(path, 8);
  VRO_ROUTE r;
  r.edges = {NewEdge("N1", kOnE1, {0.3, 0.001}, 101), NewEdge("N2", {0.3, 0.001}, {0.5, 0.0}, 102)};
  ASSERT_EQ(path.QuickRoute(&r, kOnE1, 45.0, 1.5, "fastest", 2.5), 1);
  NavGuid nav;
  // Where the released E2 lay, the new N1 is now the nearest edge.
  EXPECT_EQ(path.TestPoint({0.15, 0.0}, 100.0, nav, -1.0, nullptr), 1);
  EXPECT_STREQ(nav.szName, "N1");
  EXPECT_STREQ(nav.szNextName, "N2");
  EXPECT_EQ(path.TestPoint({0.65, 0.0}, 100.0, nav, -1.0, nullptr), 1);
  EXPECT_STREQ(nav.szName, "E7");
  PathGuid guid;
  guid.idEdge = Id(102);
  EXPECT_EQ(path.TestPoint({0.15, 0.0}, 100.0, nav, -1.0, &guid), 3);
}

TEST(QuickRoute, LookAheadDefaultsToFiftyKilometres) {
  for (double dAhead : {0.0, -3.0, 20000.0}) {
    TestPath path;
    BuildLine(path, 8);
    VRO_ROUTE r;
    r.edges = {NewEdge("N1", kOnE1, {0.3, 0.0})};
    ASSERT_EQ(path.QuickRoute2(&r, kOnE1, -1.0, 0, "", 0, dAhead), 1);
    EXPECT_EQ(path.AheadDist(), dAhead > 0 ? dAhead : 50000.0);
    // 20 km: E1's half, E2 and E3 reach it, so the path rejoins at E4.
    EXPECT_EQ(r.szEndName, dAhead > 0 ? "E4" : "E6") << dAhead;
    EXPECT_EQ(path.Edges().size(), dAhead > 0 ? 6u : 4u);
  }
}

TEST(QuickRoute, WithoutRejoinEdgeReplacesTheWholePath) {
  // Too far from the path (about 5.5 km), then near its end.
  for (tagLonLat pt : {tagLonLat{0.05, 0.05}, tagLonLat{0.75, 0.0001}}) {
    TestPath path;
    BuildLine(path, 8);
    VRO_ROUTE r;
    r.edges = {NewEdge("N1", pt, {0.4, 0.01}), NewEdge("N2", {0.4, 0.01}, {0.8, 0.0})};
    ASSERT_EQ(path.QuickRoute(&r, pt, -1.0, 0, "x", 0), 1);
    EXPECT_THAT(r.log, ElementsAre("Find", "Start", "Next", "Next", "Next end", "Reset"));
    ExpectPoint(r.ptEnd, 0.8, 0.0);
    EXPECT_EQ(r.szEndName, "E8");
    EXPECT_EQ(path.nClears, 1) << "the path's own Clear runs";
    EXPECT_THAT(path.Names(), ElementsAre("N1", "N2"));
  }
}

TEST(QuickRoute, UnnamedTargetEdgeGivesNullName) {
  TestPath path;
  const tagLonLat pts[2] = {{0.0, 0.0}, {0.1, 0.0}};
  ASSERT_EQ(path.AddEdge("00000", "R4", "", "30", 2, pts), 1);
  VRO_ROUTE r;
  ASSERT_EQ(path.QuickRoute(&r, kOnE1, -1.0, 0, "", 0), 1);
  EXPECT_TRUE(r.bEndNameNull);
}

TEST(QuickRoute, EngineFailureLeavesThePath) {
  for (int nFail : {0, 1}) {
    TestPath path;
    BuildLine(path, 8);
    const std::vector<const CPath::NavEdge*> old = path.Edges();
    VRO_ROUTE r;
    r.edges = {NewEdge("N1", kOnE1, {0.5, 0.0})};
    if (nFail == 0) {
      r.nFind = -1;
    } else {
      r.nStart = 0;
    }
    EXPECT_EQ(path.QuickRoute(&r, kOnE1, -1.0, 0, "", 0), 0);
    if (nFail == 0) {
      EXPECT_THAT(r.log, ElementsAre("Find"));
    } else {
      EXPECT_THAT(r.log, ElementsAre("Find", "Start"));
    }
    EXPECT_EQ(path.Edges(), old);
    EXPECT_EQ(path.nClears, 0);
    EXPECT_EQ(path.MatchDist(), 2000.0);
  }
  // Failing without a rejoin edge leaves the path too.
  TestPath path;
  BuildLine(path, 3);
  const std::vector<const CPath::NavEdge*> old = path.Edges();
  VRO_ROUTE r;
  r.nFind = -2;
  EXPECT_EQ(path.QuickRoute(&r, kOnE1, -1.0, 0, "", 0), 0);
  EXPECT_EQ(path.Edges(), old);
  EXPECT_EQ(path.nClears, 0);
}

TEST(QuickRoute, EmptyPathCallsNothing) {
  TestPath path;
  VRO_ROUTE r;
  EXPECT_EQ(path.QuickRoute(&r, kOnE1, -1.0, 0, "", 0), 0);
  EXPECT_EQ(path.QuickRoute2(&r, kOnE1, -1.0, 0, "", 0, 10.0), 0);
  EXPECT_THAT(r.log, IsEmpty());
  EXPECT_EQ(path.AheadDist(), 0.0);
}

TEST(QuickRoute, RefusedEdgesAreSkipped) {
  TestPath path;
  BuildLine(path, 8);
  VRO_ROUTE r;
  EngineEdge bad = NewEdge("Bad", {0.2, 0.0}, {0.3, 0.0});
  bad.road = "X9";
  EngineEdge single = NewEdge("Single", {0.3, 0.0}, {0.3, 0.0});
  single.pts.resize(1);
  r.edges = {NewEdge("N1", kOnE1, {0.2, 0.0}), bad, single, NewEdge("N2", {0.3, 0.0}, {0.5, 0.0})};
  ASSERT_EQ(path.QuickRoute(&r, kOnE1, -1.0, 0, "", 0), 1);
  EXPECT_THAT(path.Names(), ElementsAre("N1", "N2", "E6", "E7", "E8"));
  EXPECT_EQ(r.log.back(), "Reset");
}

TEST(QuickRoute, NoEdgeAppendedLeavesTheKeptPartAlone) {
  for (bool bRefused : {false, true}) {
    TestPath path;
    BuildLine(path, 8);
    const std::vector<const CPath::NavEdge*> old = path.Edges();
    VRO_ROUTE r;
    if (bRefused) {
      r.edges = {NewEdge("Bad", kOnE1, {0.5, 0.0})};
      r.edges[0].road = "";
    }
    ASSERT_EQ(path.QuickRoute(&r, kOnE1, -1.0, 0, "", 0), 1);
    EXPECT_EQ(path.Head(), old[5]);
    EXPECT_EQ(path.Head()->pPrev, nullptr);
    EXPECT_THAT(path.Names(), ElementsAre("E6", "E7", "E8"));
  }
}

TEST(QuickRoute, CursorOnAReleasedEdgeIsDropped) {
  for (int nSteps : {1, 6}) {
    TestPath path;
    BuildLine(path, 8);
    unsigned short w = 0;
    tagLonLat* p = nullptr;
    ASSERT_EQ(path.StartEdge(), 1);
    for (int k = 0; k < nSteps; ++k) {
      ASSERT_EQ(path.NextEdge(w, p), 1);
    }
    VRO_ROUTE r;
    r.edges = {NewEdge("N1", kOnE1, {0.5, 0.0})};
    ASSERT_EQ(path.QuickRoute(&r, kOnE1, -1.0, 0, "", 0), 1);
    if (nSteps == 1) {
      // The cursor stood on E2, which is gone.
      EXPECT_EQ(path.NextEdge(w, p), 0);
    } else {
      // The cursor stood on E7, which is kept: it stays there.
      ASSERT_EQ(path.NextEdge(w, p), 1);
      EXPECT_DOUBLE_EQ(p[0].lon, 0.6);
    }
  }
}

TEST(QuickRoute, UnterminatedEngineTextsEndAtTheirBuffer) {
  TestPath path;
  BuildLine(path, 8);
  VRO_ROUTE r;
  EngineEdge e = NewEdge("", kOnE1, {0.5, 0.0});
  e.code = "000+00";
  e.road = std::string(21, ' ');
  e.road.replace(0, 3, "R12");
  e.name = std::string(301, 'n');
  e.attr = std::string(100, ' ');
  e.attr[0] = '7';
  r.edges = {e};
  ASSERT_EQ(path.QuickRoute(&r, kOnE1, -1.0, 0, "", 0), 1);
  const CPath::NavEdge* p = path.Head();
  ASSERT_NE(p->szName, nullptr);
  EXPECT_EQ(std::strlen(p->szName), 301u);
  EXPECT_EQ(p->bTwoWay, 0);
  EXPECT_EQ(p->nCode, 12);
  EXPECT_EQ(p->nRoadAttr, 7);
}

// The length along E1 from its first point to its end.
double E1Length() {
  const tagLonLat pts[2] = {{0.0, 0.0}, {0.1, 0.0}};
  return LineLength(2, pts);
}

TEST(BlockRoute, AvoidsTheEdgeAheadAndRejoinsBeyond) {
  struct Case {
    double dBlockDist;
    std::uint32_t nBlocked;
    const char* szRejoin;
  };
  const double L = E1Length();
  // The rejoin edge starts 25 km beyond the end of the avoided edge or later.
  for (const Case& c :
       {Case{0.0, 1, "E5"}, Case{L, 1, "E5"}, Case{L + 1.0, 2, "E6"}, Case{3.5 * L, 4, "E8"}}) {
    TestPath path;
    BuildLine(path, 8);
    VRO_ROUTE r;
    r.blocked = {42};
    r.edges = {NewEdge("N1", kAtStart, {0.2, 0.01})};
    ASSERT_EQ(path.BlockRoute(&r, c.dBlockDist, 100.0, kAtStart, -1.0, 1, "a", 2), 1);
    EXPECT_THAT(r.log, ElementsAre("Unblock", "Block " + std::to_string(c.nBlocked), "Find",
                                   "Start", "Next", "Next end", "Unblock", "Reset"))
        << c.dBlockDist;
    EXPECT_EQ(r.szEndName, c.szRejoin) << c.dBlockDist;
    EXPECT_THAT(r.blocked, IsEmpty());
    EXPECT_EQ(path.MatchDist(), 100.0);
    EXPECT_DOUBLE_EQ(path.AheadDist(), c.nBlocked * L + 25000.0);
    EXPECT_EQ(path.Names().front(), "N1");
    EXPECT_EQ(path.Names().at(1), c.szRejoin);
  }
}

TEST(BlockRoute, NearTheEndRoutesToTheDestination) {
  TestPath path;
  BuildLine(path, 8);
  VRO_ROUTE r;
  r.edges = {NewEdge("N1", kAtStart, {0.8, 0.0})};
  ASSERT_EQ(path.BlockRoute(&r, 6.5 * E1Length(), 100.0, kAtStart, -1.0, 0, "", 0), 1);
  EXPECT_THAT(r.log, ElementsAre("Unblock", "Block 7", "Find", "Start", "Next", "Next end",
                                 "Unblock", "Reset"));
  ExpectPoint(r.ptEnd, 0.8, 0.0);
  EXPECT_EQ(r.szEndName, "E8");
  EXPECT_EQ(path.nClears, 1);
  EXPECT_THAT(path.Names(), ElementsAre("N1"));
}

TEST(BlockRoute, RefusalsBeforeTheEngineCallNothing) {
  TestPath path;
  BuildLine(path, 8);
  const std::vector<const CPath::NavEdge*> old = path.Edges();
  VRO_ROUTE r;
  r.blocked = {42};
  // Beyond the end of the path, too far from it, no tolerance.
  EXPECT_EQ(path.BlockRoute(&r, 8.5 * E1Length(), 100.0, kAtStart, -1.0, 0, "", 0), 0);
  EXPECT_EQ(path.BlockRoute(&r, 0.0, 10.0, kAtStart, -1.0, 0, "", 0), 0);
  EXPECT_EQ(path.BlockRoute(&r, 0.0, 0.0, kAtStart, -1.0, 0, "", 0), 0);
  EXPECT_EQ(path.BlockRoute(&r, 0.0, 100.0, {0.05, 0.05}, -1.0, 0, "", 0), 0);
  EXPECT_THAT(r.log, IsEmpty());
  EXPECT_THAT(r.blocked, ElementsAre(42u));
  EXPECT_EQ(path.Edges(), old);
  TestPath empty;
  EXPECT_EQ(empty.BlockRoute(&r, 0.0, 100.0, kAtStart, -1.0, 0, "", 0), 0);
  EXPECT_THAT(r.log, IsEmpty());
}

TEST(BlockRoute, EngineFailureRemovesTheBlock) {
  for (int nFail : {0, 1}) {
    for (double dBlock : {0.0, 6.5 * E1Length()}) {  // with and without a rejoin edge
      TestPath path;
      BuildLine(path, 8);
      const std::vector<const CPath::NavEdge*> old = path.Edges();
      VRO_ROUTE r;
      r.edges = {NewEdge("N1", kAtStart, {0.5, 0.0})};
      if (nFail == 0) {
        r.nFind = -1;
      } else {
        r.nStart = 0;
      }
      EXPECT_EQ(path.BlockRoute(&r, dBlock, 100.0, kAtStart, -1.0, 0, "", 0), 0);
      EXPECT_EQ(r.log.back(), "Unblock");
      EXPECT_THAT(r.blocked, IsEmpty());
      EXPECT_EQ(std::count(r.log.begin(), r.log.end(), "Reset"), 0);
      EXPECT_EQ(std::count(r.log.begin(), r.log.end(), "Next"), 0);
      EXPECT_EQ(path.Edges(), old);
      EXPECT_EQ(path.nClears, 0);
    }
  }
}

TEST(BlockRoute, NoEdgeAppendedLeavesTheKeptPartAlone) {
  TestPath path;
  BuildLine(path, 8);
  const std::vector<const CPath::NavEdge*> old = path.Edges();
  VRO_ROUTE r;
  ASSERT_EQ(path.BlockRoute(&r, 0.0, 100.0, kAtStart, -1.0, 0, "", 0), 1);
  EXPECT_EQ(path.Head(), old[4]);
  EXPECT_EQ(path.Head()->pPrev, nullptr);
  EXPECT_THAT(path.Names(), ElementsAre("E5", "E6", "E7", "E8"));
  EXPECT_THAT(r.blocked, IsEmpty());
}

}  // namespace
