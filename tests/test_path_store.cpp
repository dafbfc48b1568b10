// The path store: edge records, the private heap, building, copying,
// clearing and walking a path.
#include <gtest/gtest.h>

#include "CPath/CPath.h"

TEST(PathStore, BuildsAndWalksEdges) {
  CPath path;
  const tagLonLat pts[2] = {{1, 2}, {3, -4}};
  EXPECT_EQ(path.AddEdge("R000", "R7", "Elm", "50", 2, pts), 1);
  unsigned short w = 0;
  tagLonLat* p = nullptr;
  ASSERT_EQ(path.StartEdge(), 1);
  ASSERT_EQ(path.NextEdge(w, p), 1);
  EXPECT_EQ(w, 2);
  EXPECT_EQ(p[1].lat, -4);
  EXPECT_EQ(path.NextEdge(w, p), 0);
}
