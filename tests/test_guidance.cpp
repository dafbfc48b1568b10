// Guidance items: one per edge with the turn onto the next edge, walked with
// the cursor, and the item after a given one.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "CPath/CPath.h"

namespace {

constexpr VRO_FEATURE_ID kNullId = {{0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0u}};

VRO_FEATURE_ID Id(std::uint32_t n) { return VRO_FEATURE_ID{{n, n + 1, n + 2, n + 3}}; }

bool SameId(const VRO_FEATURE_ID& a, const VRO_FEATURE_ID& b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

// A record filled with a byte pattern, to see what an operation writes.
PathGuid Stale() {
  PathGuid g;
  std::memset(&g, 0x5A, sizeof g);
  g.szName[300] = '\0';
  g.szNextName[300] = '\0';
  return g;
}

bool Untouched(const PathGuid& g) {
  const PathGuid s = Stale();
  return std::memcmp(&g, &s, sizeof g) == 0;
}

void ExpectSameGuid(const PathGuid& a, const PathGuid& b) {
  EXPECT_TRUE(SameId(a.idEdge, b.idEdge));
  EXPECT_STREQ(a.szName, b.szName);
  EXPECT_EQ(a.nCode, b.nCode);
  EXPECT_EQ(a.nRoadAttr, b.nRoadAttr);
  EXPECT_EQ(a.wPtNum, b.wPtNum);
  EXPECT_EQ(a.pPts, b.pPts);
  EXPECT_EQ(a.dReserved1, b.dReserved1);
  EXPECT_EQ(a.dReserved2, b.dReserved2);
  EXPECT_EQ(a.dDist, b.dDist);
  EXPECT_EQ(a.dTurnAngle, b.dTurnAngle);
  EXPECT_EQ(a.ptEnd.lon, b.ptEnd.lon);
  EXPECT_EQ(a.ptEnd.lat, b.ptEnd.lat);
  EXPECT_TRUE(SameId(a.idNext, b.idNext));
  EXPECT_STREQ(a.szNextName, b.szNextName);
  EXPECT_EQ(a.nNextCode, b.nNextCode);
  EXPECT_EQ(a.wNextPtNum, b.wNextPtNum);
  if (a.dTurnAngle >= 0) {  // written only when an edge follows
    EXPECT_EQ(a.nNextRoadAttr, b.nNextRoadAttr);
  }
  EXPECT_EQ(a.pNextPts, b.pNextPts);
}

// Near (13.40, 52.50); 0.001 degree is about 68 m east-west, 111 m north-south.
constexpr double kLon = 13.40;
constexpr double kLat = 52.50;
constexpr double kStep = 0.001;

// Adds a two-point edge from (x1, y1) to (x2, y2), in steps from the base.
int Add2(CPath& path, double x1, double y1, double x2, double y2, const VRO_FEATURE_ID& id,
         const char* szName = "Road") {
  const tagLonLat pts[2] = {{kLon + x1 * kStep, kLat + y1 * kStep},
                            {kLon + x2 * kStep, kLat + y2 * kStep}};
  return path.AddEdge("R000", "R5", szName, "3", 2, pts, id, 50.0);
}

// Two-point edge ends, in steps from the base.
struct Steps {
  double x1, y1, x2, y2;
};

// Builds a path of the two edges a and b and returns its first item.
PathGuid FirstOfTwo(CPath& path, Steps a, Steps b) {
  EXPECT_EQ(Add2(path, a.x1, a.y1, a.x2, a.y2, Id(1)), 1);
  EXPECT_EQ(Add2(path, b.x1, b.y1, b.x2, b.y2, Id(2)), 1);
  PathGuid g = Stale();
  EXPECT_EQ(path.StartGuid(), 1);
  EXPECT_EQ(path.NextGuid(g), 1);
  return g;
}

// The turn from (0,0) east to (1,0), then on from (1,0) by (dx, dy).
double TurnAfterEast(double dx, double dy) {
  CPath path;
  return FirstOfTwo(path, {0, 0, 1, 0}, {1, 0, 1 + dx, dy}).dTurnAngle;
}

TEST(GuidanceWalk, EmptyPathYieldsNothing) {
  CPath path;
  PathGuid g = Stale();
  EXPECT_EQ(path.NextGuid(g), 0);
  EXPECT_EQ(path.StartGuid(), 0);
  EXPECT_EQ(path.NextGuid(g), 0);
  EXPECT_TRUE(Untouched(g));
}

TEST(GuidanceWalk, TurnAngles) {
  EXPECT_DOUBLE_EQ(TurnAfterEast(0, 1), 90.0);    // left
  EXPECT_DOUBLE_EQ(TurnAfterEast(0, -1), 270.0);  // right
  EXPECT_DOUBLE_EQ(TurnAfterEast(1, 0), 0.0);     // straight on
  EXPECT_DOUBLE_EQ(TurnAfterEast(-1, 0), 180.0);  // back
  EXPECT_DOUBLE_EQ(TurnAfterEast(2, 1), 26.5);
  // Leaving a hair clockwise of east gives the direction 3600 and so 360.0.
  EXPECT_DOUBLE_EQ(TurnAfterEast(1, -0.0001), 360.0);

  // Arriving northwards and leaving eastwards: the leaving direction is the
  // smaller one, the turn is 3600 - 900 tenths.
  CPath path;
  EXPECT_DOUBLE_EQ(FirstOfTwo(path, {0, 0, 0, 1}, {0, 1, 1, 1}).dTurnAngle, 270.0);
}

TEST(GuidanceWalk, ItemsCarryBothEdges) {
  CPath path;
  const tagLonLat a[2] = {{13.400, 52.500}, {13.401, 52.500}};
  const tagLonLat b[3] = {{13.401, 52.500}, {13.402, 52.500}, {13.402, 52.501}};
  const tagLonLat c[2] = {{13.402, 52.501}, {13.402, 52.502}};
  ASSERT_EQ(path.AddEdge("R000", "R11", "Alpha", "21", 2, a, Id(10), 101.0), 1);
  ASSERT_EQ(path.AddEdge("R00+", "R12", "", "22", 3, b, Id(20), 102.0), 1);
  ASSERT_EQ(path.AddEdge("R000", "R13", "Gamma", nullptr, 2, c, Id(30)), 1);
  unsigned short w = 0;
  tagLonLat* pA = nullptr;
  tagLonLat* pB = nullptr;
  tagLonLat* pC = nullptr;
  ASSERT_EQ(path.StartEdge(), 1);
  ASSERT_EQ(path.NextEdge(w, pA), 1);
  ASSERT_EQ(path.NextEdge(w, pB), 1);
  ASSERT_EQ(path.NextEdge(w, pC), 1);

  ASSERT_EQ(path.StartGuid(), 1);
  PathGuid g = Stale();
  ASSERT_EQ(path.NextGuid(g), 1);
  EXPECT_TRUE(SameId(g.idEdge, Id(10)));
  EXPECT_STREQ(g.szName, "Alpha");
  EXPECT_EQ(g.nCode, 11);
  EXPECT_EQ(g.nRoadAttr, 21);
  EXPECT_EQ(g.wPtNum, 2);
  EXPECT_EQ(g.pPts, pA);
  EXPECT_EQ(g.dReserved1, 0.0);
  EXPECT_EQ(g.dReserved2, 0.0);
  EXPECT_EQ(g.dDist, 101.0);
  EXPECT_EQ(g.ptEnd.lon, 13.401);
  EXPECT_EQ(g.ptEnd.lat, 52.500);
  EXPECT_DOUBLE_EQ(g.dTurnAngle, 0.0);
  EXPECT_TRUE(SameId(g.idNext, Id(20)));
  EXPECT_STREQ(g.szNextName, "");  // the next edge has no name
  EXPECT_EQ(g.nNextCode, 12);
  EXPECT_EQ(g.wNextPtNum, 3);
  EXPECT_EQ(g.nNextRoadAttr, 22);
  EXPECT_EQ(g.pNextPts, pB);

  // The unnamed edge gives an empty name, not the stale text of the record,
  // and the following name stands in szNextName only.
  ASSERT_EQ(path.NextGuid(g), 1);
  EXPECT_STREQ(g.szName, "");
  EXPECT_STREQ(g.szNextName, "Gamma");
  EXPECT_EQ(g.pPts, pB);
  EXPECT_EQ(g.ptEnd.lat, 52.501);
  EXPECT_DOUBLE_EQ(g.dTurnAngle, 0.0);
  EXPECT_EQ(g.nNextRoadAttr, 0);
  EXPECT_EQ(g.pNextPts, pC);

  // The last item: nothing follows; nNextRoadAttr keeps what it held.
  g.nNextRoadAttr = 1234;
  ASSERT_EQ(path.NextGuid(g), 1);
  EXPECT_STREQ(g.szName, "Gamma");
  EXPECT_EQ(g.dTurnAngle, -1.0);
  EXPECT_TRUE(SameId(g.idNext, kNullId));
  EXPECT_STREQ(g.szNextName, "");
  EXPECT_EQ(g.nNextCode, 0);
  EXPECT_EQ(g.wNextPtNum, 0);
  EXPECT_EQ(g.pNextPts, nullptr);
  EXPECT_EQ(g.nNextRoadAttr, 1234);

  PathGuid after = Stale();
  EXPECT_EQ(path.NextGuid(after), 0);
  EXPECT_TRUE(Untouched(after));
}

TEST(GuidanceWalk, OneEdgePath) {
  CPath path;
  ASSERT_EQ(Add2(path, 0, 0, 1, 0, Id(1)), 1);
  ASSERT_EQ(path.StartGuid(), 1);
  PathGuid g = Stale();
  ASSERT_EQ(path.NextGuid(g), 1);
  EXPECT_EQ(g.dTurnAngle, -1.0);
  EXPECT_TRUE(SameId(g.idNext, kNullId));
  EXPECT_EQ(g.pNextPts, nullptr);
  const PathGuid kept = g;
  EXPECT_EQ(path.NextGuid(g), 0);
  EXPECT_EQ(std::memcmp(&g, &kept, sizeof g), 0);
}

TEST(GuidanceWalk, NamesAreCutTo300Characters) {
  const std::string n300(300, 'a');
  const std::string n301(301, 'b');
  const std::string n1000(1000, 'c');
  CPath path;
  ASSERT_EQ(Add2(path, 0, 0, 1, 0, Id(1), n1000.c_str()), 1);
  ASSERT_EQ(Add2(path, 1, 0, 2, 0, Id(2), n301.c_str()), 1);
  ASSERT_EQ(Add2(path, 2, 0, 3, 0, Id(3), n300.c_str()), 1);
  ASSERT_EQ(path.StartGuid(), 1);
  PathGuid g;
  ASSERT_EQ(path.NextGuid(g), 1);
  EXPECT_EQ(std::string(g.szName), n1000.substr(0, 300));
  EXPECT_EQ(std::string(g.szNextName), n301.substr(0, 300));
  EXPECT_EQ(g.nNextCode, 5);
  ASSERT_EQ(path.NextGuid(g), 1);
  EXPECT_EQ(std::string(g.szName), n301.substr(0, 300));
  EXPECT_EQ(std::string(g.szNextName), n300);
}

// Names of one- to four-byte characters around the 300-byte limit: the item's
// name is the longest prefix of whole characters within 300 bytes.
TEST(GuidanceWalk, LongNamesAreCutBetweenCharacters) {
  const char* const kChars[] = {"a", "\xC3\xA9", "\xE2\x82\xAC", "\xF0\x9F\x9A\x97"};
  for (std::size_t nLead = 290; nLead <= 300; ++nLead) {
    for (const char* szChar : kChars) {
      std::string sName(nLead, 'x');
      while (sName.size() <= 310) sName += szChar;
      std::size_t nWant = nLead;
      while (nWant + std::strlen(szChar) <= 300) nWant += std::strlen(szChar);
      CPath path;
      ASSERT_EQ(Add2(path, 0, 0, 1, 0, Id(1), sName.c_str()), 1);
      ASSERT_EQ(path.StartGuid(), 1);
      PathGuid g;
      ASSERT_EQ(path.NextGuid(g), 1);
      EXPECT_EQ(std::string(g.szName), sName.substr(0, std::min<std::size_t>(nWant, 300)))
          << nLead << " " << std::strlen(szChar);
    }
  }
}

TEST(GuidanceWalk, ClearEndsTheWalk) {
  CPath path;
  ASSERT_EQ(Add2(path, 0, 0, 1, 0, Id(1)), 1);
  ASSERT_EQ(Add2(path, 1, 0, 2, 0, Id(2)), 1);
  ASSERT_EQ(path.StartGuid(), 1);
  path.Clear();
  PathGuid g = Stale();
  EXPECT_EQ(path.NextGuid(g), 0);
  EXPECT_TRUE(Untouched(g));
}

// A connected three-edge path: east, north, east.
class NextItem : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(Add2(path, 0, 0, 1, 0, Id(1), "First"), 1);
    ASSERT_EQ(Add2(path, 1, 0, 1, 1, Id(2), "Second"), 1);
    ASSERT_EQ(Add2(path, 1, 1, 2, 1, Id(3), "Third"), 1);
    ASSERT_EQ(path.StartGuid(), 1);
    ASSERT_EQ(path.NextGuid(items[0]), 1);
    ASSERT_EQ(path.NextGuid(items[1]), 1);
    ASSERT_EQ(path.NextGuid(items[2]), 1);
  }
  CPath path;
  PathGuid items[3] = {Stale(), Stale(), Stale()};
};

TEST_F(NextItem, YieldsTheSecondNextGuidAndLeavesTheCursor) {
  ASSERT_EQ(path.StartGuid(), 1);
  PathGuid g;
  ASSERT_EQ(path.NextGuid(g), 1);
  PathGuid out = Stale();
  ASSERT_EQ(path.GetNextGuid(items[0], out), 1);
  ExpectSameGuid(out, items[1]);
  ASSERT_EQ(path.GetNextGuid(out, out), 1);  // the output may be the input
  ExpectSameGuid(out, items[2]);
  // The cursor still stands at the second edge.
  ASSERT_EQ(path.NextGuid(g), 1);
  ExpectSameGuid(g, items[1]);
}

TEST_F(NextItem, AcceptsTheNavGuidOfAMatch) {
  NavGuid nav;
  static_cast<PathGuid&>(nav) = items[1];
  nav.ptBefore = {0, 0};
  nav.ptClose = {180, 90};
  nav.ptAfter = {180, 90};
  PathGuid out;
  ASSERT_EQ(path.GetNextGuid(nav, out), 1);
  ExpectSameGuid(out, items[2]);
}

TEST_F(NextItem, RefusesTheLastItemAndMissingPoints) {
  PathGuid out = Stale();
  EXPECT_EQ(path.GetNextGuid(items[2], out), 0);
  PathGuid g = items[0];
  g.ptEnd = {180.0, 90.0};
  EXPECT_EQ(path.GetNextGuid(g, out), 0);
  g = items[0];
  g.ptEnd.lon = 180.0;
  EXPECT_EQ(path.GetNextGuid(g, out), 0);
  g = items[0];
  g.ptEnd.lat = 90.0;
  EXPECT_EQ(path.GetNextGuid(g, out), 0);
  EXPECT_TRUE(Untouched(out));
  // Only the given fields count: a turn of 0 is a real turn.
  g = items[0];
  g.dTurnAngle = 0.0;
  EXPECT_EQ(path.GetNextGuid(g, out), 1);
}

TEST_F(NextItem, RefusesItemsOfAnotherPath) {
  CPath other;
  ASSERT_EQ(Add2(other, 0, 0, 1, 0, Id(1), "First"), 1);
  ASSERT_EQ(Add2(other, 1, 0, 1, 1, Id(2), "Second"), 1);
  PathGuid foreign;
  ASSERT_EQ(other.StartGuid(), 1);
  ASSERT_EQ(other.NextGuid(foreign), 1);
  PathGuid out = Stale();
  EXPECT_EQ(path.GetNextGuid(foreign, out), 0);
  EXPECT_TRUE(Untouched(out));
  // A path without edges finds nothing either.
  const CPath empty;
  EXPECT_EQ(empty.GetNextGuid(items[0], out), 0);
  EXPECT_TRUE(Untouched(out));
  // Its own item works in the other path.
  EXPECT_EQ(other.GetNextGuid(foreign, out), 1);
  EXPECT_STREQ(out.szName, "Second");
}

TEST(NextItemSameId, PicksTheEdgeWhosePointsTheItemNames) {
  CPath path;
  ASSERT_EQ(Add2(path, 0, 0, 1, 0, Id(1), "A"), 1);
  ASSERT_EQ(Add2(path, 1, 0, 1, 1, Id(7), "B"), 1);
  ASSERT_EQ(Add2(path, 1, 1, 0, 1, Id(2), "C"), 1);
  ASSERT_EQ(Add2(path, 0, 1, 0, 2, Id(7), "D"), 1);
  PathGuid items[4];
  ASSERT_EQ(path.StartGuid(), 1);
  for (PathGuid& g : items) ASSERT_EQ(path.NextGuid(g), 1);
  PathGuid out;
  ASSERT_EQ(path.GetNextGuid(items[2], out), 1);
  EXPECT_STREQ(out.szName, "D");
  EXPECT_EQ(out.pPts, items[3].pPts);
  ASSERT_EQ(path.GetNextGuid(items[0], out), 1);
  EXPECT_STREQ(out.szName, "B");
  EXPECT_EQ(out.pPts, items[1].pPts);
}

TEST(NextItemBroken, FollowingEdgeBeyondTheBoxIsNotFound) {
  // The second edge starts 3 steps (about 200 m) east of the first one's end.
  CPath broken;
  PathGuid g = FirstOfTwo(broken, {0, 0, 1, 0}, {4, 0, 5, 0});
  EXPECT_TRUE(SameId(g.idNext, Id(2)));
  EXPECT_NE(g.pNextPts, nullptr);
  PathGuid out = Stale();
  EXPECT_EQ(broken.GetNextGuid(g, out), 0);
  EXPECT_TRUE(Untouched(out));

  // Half a step (about 34 m) away it still reaches into the box.
  CPath gap;
  g = FirstOfTwo(gap, {0, 0, 1, 0}, {1.5, 0, 2.5, 0});
  EXPECT_EQ(gap.GetNextGuid(g, out), 1);
  EXPECT_EQ(out.pPts, g.pNextPts);
}

}  // namespace
