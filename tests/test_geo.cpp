// Geodesic measures on the WGS84 ellipsoid.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "interfaces/VroGeo.h"

TEST(Geo, LengthsAreGeodesicAndAddUp) {
  const tagLonLat a{13.37, 52.51}, b{13.38, 52.52}, c{13.40, 52.50};
  EXPECT_EQ(SegmentLength(a, a), 0.0);
  const tagLonLat same[2] = {a, a};
  EXPECT_EQ(LineLength(2, same), 0.0);
  // One degree of latitude at the equator is 110574.4 m on WGS84.
  EXPECT_NEAR(SegmentLength({0, 0}, {0, 1}), 110574.389, 0.01);
  // One degree of longitude on the equator: 111319.49 m.
  EXPECT_NEAR(SegmentLength({0, 0}, {1, 0}), 111319.491, 0.01);
  const tagLonLat line[3] = {a, b, c};
  EXPECT_DOUBLE_EQ(LineLength(3, line), SegmentLength(a, b) + SegmentLength(b, c));
  EXPECT_EQ(LineLength(1, line), 0.0);
  EXPECT_EQ(LineLength(0, nullptr), 0.0);
  EXPECT_EQ(LineLength(5, nullptr), 0.0);
}

TEST(Geo, UnitDegreeSpansOneMetre) {
  for (double lat : {-80.0, -45.0, 0.0, 30.0, 52.5, 70.0}) {
    double dLon = 0, dLat = 0;
    GetUnitDegree({10.0, lat}, dLon, dLat);
    ASSERT_GT(dLon, 0);
    ASSERT_GT(dLat, 0);
    // 1000 m along the meridian and the parallel, measured geodesically.
    EXPECT_NEAR(SegmentLength({10.0, lat}, {10.0, lat + 1000 * dLat}), 1000.0, 0.05) << lat;
    EXPECT_NEAR(SegmentLength({10.0, lat}, {10.0 + 1000 * dLon, lat}), 1000.0, 0.05) << lat;
  }
}

TEST(Geo, PolesAndNaNAreDefined) {
  double dLon = 0, dLat = 0;
  for (double lat : {90.0, -90.0, 95.0, std::numeric_limits<double>::infinity()}) {
    GetUnitDegree({0.0, lat}, dLon, dLat);
    EXPECT_TRUE(std::isfinite(dLon) && dLon > 0) << lat;
    EXPECT_TRUE(std::isfinite(dLat) && dLat > 0) << lat;
  }
  GetUnitDegree({0.0, std::nan("")}, dLon, dLat);
  EXPECT_TRUE(std::isnan(dLon) && std::isnan(dLat));
  EXPECT_TRUE(std::isnan(SegmentLength({0, 0}, {std::nan(""), 1})));
}
