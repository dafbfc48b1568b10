// The distance thresholds of matching at their exact values: arrival at
// 20.0 m, off the path at dTol, the rejoin search's match distance. This
// program brings its own measures, so that a distance can be exactly 20.0:
// one degree counts as one metre in a plain plane.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "CPath/CPath.h"
#include "interfaces/VroGeo.h"

double SegmentLength(const tagLonLat& a, const tagLonLat& b) {
  return std::hypot(b.lon - a.lon, b.lat - a.lat);
}

double LineLength(unsigned short wPtNum, const tagLonLat* pPts) {
  double dSum = 0.0;
  for (unsigned short i = 1; pPts != nullptr && i < wPtNum; ++i) {
    dSum += SegmentLength(pPts[i - 1], pPts[i]);
  }
  return dSum;
}

void GetUnitDegree(const tagLonLat&, double& dLon, double& dLat) { dLon = dLat = 1.0; }

namespace {

class BoundsPath : public CPath {
 public:
  using CPath::FindNode;
  void SetAhead(double dMatch, double dAhead) {
    dMatchDist = dMatch;
    dAheadDist = dAhead;
  }
  int Add(std::vector<tagLonLat> pts) {
    return AddEdge("R000", "R1", "", "", static_cast<unsigned short>(pts.size()), pts.data());
  }
};

}  // namespace

TEST(MatchBounds, ArrivedAtTwentyMetresOrLess) {
  BoundsPath path;
  ASSERT_EQ(path.Add({{0, 0}, {0, 50}}), 1);
  ASSERT_EQ(path.Add({{0, 50}, {0, 100}}), 1);
  NavGuid nav;
  EXPECT_EQ(path.TestPoint({0, 80}, 30, nav, -1, nullptr), 2);
  EXPECT_EQ(nav.dDist, 20.0);
  EXPECT_EQ(path.TestPoint({0, std::nextafter(80.0, 0.0)}, 30, nav, -1, nullptr), 1);
  // Measured from the fix, not from its match on the road: 12 and 16 make 20.
  EXPECT_EQ(path.TestPoint({12, 84}, 30, nav, -1, nullptr), 2);
  EXPECT_EQ(nav.dDist, 20.0);
  EXPECT_EQ(path.TestPoint({12, 83}, 30, nav, -1, nullptr), 1);
}

// The first edge turns north at its end so that its box reaches the search
// box of a fix 10 m north of its first segment even with dTol 10.
TEST(MatchBounds, OffThePathFromTheToleranceOn) {
  BoundsPath path;
  ASSERT_EQ(path.Add({{0, 0}, {100, 0}, {100, 20}}), 1);
  ASSERT_EQ(path.Add({{100, 20}, {200, 20}}), 1);
  NavGuid nav;
  EXPECT_EQ(path.TestPoint({30, 10}, 10.5, nav, -1, nullptr), 1);
  EXPECT_EQ(nav.dDist, 90.0);
  EXPECT_EQ(path.TestPoint({30, 10}, 10, nav, -1, nullptr), 3);
  EXPECT_EQ(nav.ptClose.lon, 30.0);
  EXPECT_EQ(nav.ptClose.lat, 0.0);
}

TEST(MatchBounds, RejoinSearchNeedsAMatchNearerThanTheMatchDistance) {
  BoundsPath path;
  ASSERT_EQ(path.Add({{0, 0}, {100, 0}, {100, 20}}), 1);
  ASSERT_EQ(path.Add({{100, 20}, {200, 20}}), 1);
  ASSERT_EQ(path.Add({{200, 20}, {300, 20}}), 1);
  path.SetAhead(10.5, 90.0);
  EXPECT_NE(path.FindNode({30, 10}, -1), nullptr);
  path.SetAhead(10, 90.0);
  EXPECT_EQ(path.FindNode({30, 10}, -1), nullptr);
  // Exactly the rest of the matched edge ahead: the next edge; a little more
  // reaches past it.
  path.SetAhead(11, 90.0);
  const CPath::NavEdge* pNode = path.FindNode({30, 10}, -1);
  ASSERT_NE(pNode, nullptr);
  EXPECT_EQ(pNode->pts[0].lon, 100.0);
  path.SetAhead(11, 90.5);
  pNode = path.FindNode({30, 10}, -1);
  ASSERT_NE(pNode, nullptr);
  EXPECT_EQ(pNode->pts[0].lon, 200.0);
}
