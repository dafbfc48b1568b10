// Guidance items and the item after a given one.
#include <gtest/gtest.h>

#include "CPath/CPath.h"

TEST(Guidance, RightAngleLeftTurn) {
  CPath path;
  const tagLonLat a[2] = {{13.0, 52.0}, {13.001, 52.0}};
  const tagLonLat b[2] = {{13.001, 52.0}, {13.001, 52.001}};
  ASSERT_EQ(path.AddEdge("R000", "R5", "A", "", 2, a), 1);
  ASSERT_EQ(path.AddEdge("R000", "R5", "B", "", 2, b), 1);
  PathGuid g;
  ASSERT_EQ(path.StartGuid(), 1);
  ASSERT_EQ(path.NextGuid(g), 1);
  EXPECT_DOUBLE_EQ(g.dTurnAngle, 90.0);
  EXPECT_STREQ(g.szNextName, "B");
}
