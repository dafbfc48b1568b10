// Geodesic measures on the WGS84 ellipsoid: the documented lengths, the rules
// for bad input, and the short-arc formula's error bound against
// GeographicLib over a million random segments.
#include <gtest/gtest.h>

#include <GeographicLib/Geocentric.hpp>
#include <GeographicLib/Geodesic.hpp>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iomanip>
#include <limits>
#include <random>

#include "geo/ShortArc.h"
#include "interfaces/VroGeo.h"

#if __has_include(<valgrind/valgrind.h>)
#include <valgrind/valgrind.h>
#else
#define RUNNING_ON_VALGRIND 0
#endif

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

}  // namespace

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

TEST(Geo, PolesAndBadInputAreDefined) {
  double dLon = 0, dLat = 0;
  for (double lat : {90.0, -90.0, 95.0, std::numeric_limits<double>::infinity()}) {
    GetUnitDegree({0.0, lat}, dLon, dLat);
    EXPECT_TRUE(std::isfinite(dLon) && dLon > 0) << lat;
    EXPECT_TRUE(std::isfinite(dLat) && dLat > 0) << lat;
  }
  GetUnitDegree({0.0, kNaN}, dLon, dLat);
  EXPECT_TRUE(std::isnan(dLon) && std::isnan(dLat));
  // NaN anywhere, and a latitude beyond a pole, give NaN, short or long.
  const double kInf = std::numeric_limits<double>::infinity();
  for (const auto& [p, q] : {std::pair<tagLonLat, tagLonLat>{{0, 0}, {kNaN, 1}},
                             {{0, kNaN}, {0, 0}},
                             {{10, 89.9999}, {10, 90.0001}},
                             {{10, -90.0001}, {10, -89.9999}},
                             {{10, 95}, {50, 10}},
                             {{kInf, 10}, {10, 10}}}) {
    EXPECT_TRUE(std::isnan(SegmentLength(p, q))) << p.lon << " " << p.lat;
  }
  // ... except that a point's length to itself is 0 whatever it is.
  EXPECT_EQ(SegmentLength({10, 95}, {10, 95}), 0.0);
  // A pole is one point whatever its longitude; longitudes beyond +-180
  // wrap.
  EXPECT_NEAR(SegmentLength({0, 90}, {135, 90}), 0.0, 1e-8);
  EXPECT_NEAR(SegmentLength({10, 89.99}, {-170, 89.99}), SegmentLength({0, 89.99}, {0, 90}) * 2,
              1e-6);
  EXPECT_NEAR(SegmentLength({13.4 + 720, 52.5}, {13.41 - 360, 52.51}),
              SegmentLength({13.4, 52.5}, {13.41, 52.51}), 1e-6);
}

namespace {

// A random segment: the first point anywhere (a quarter of them within 10
// degrees of a pole, down to 1e-9 degree and onto it; a tenth within half a
// degree of the antimeridian), a random azimuth and a geodesic length
// log-uniform between dMin and dMax metres.
class SegmentSampler {
 public:
  tagLonLat First() {
    const double lat = std::asin(2 * U() - 1) / vxgeo::kRadPerDegree;
    const double x = U();
    if (x < 0.25) {
      const double colat = x < 0.01 ? 0.0 : std::pow(10.0, -9 + 10 * U());
      return {360 * U() - 180, std::copysign(90 - colat, lat)};
    }
    if (x < 0.35) {
      return {std::copysign(180 - 0.5 * U(), lat), lat};
    }
    return {360 * U() - 180, lat};
  }
  tagLonLat Along(const tagLonLat& a, double dMin, double dMax) {
    const double s = dMin * std::pow(dMax / dMin, U());
    tagLonLat b{};
    GeographicLib::Geodesic::WGS84().Direct(a.lat, a.lon, 360 * U() - 180, s, b.lat, b.lon);
    return b;
  }
  double U() { return m_u(m_rng); }

 private:
  std::mt19937_64 m_rng{2024};
  std::uniform_real_distribution<double> m_u{0.0, 1.0};
};

// The straight chord between two points, from GeographicLib's geocentric
// coordinates: independent of the short-arc code's own.
double Chord(const tagLonLat& a, const tagLonLat& b) {
  const auto& earth = GeographicLib::Geocentric::WGS84();
  double x1, y1, z1, x2, y2, z2;
  earth.Forward(a.lat, a.lon, 0, x1, y1, z1);
  earth.Forward(b.lat, b.lon, 0, x2, y2, z2);
  return std::hypot(x2 - x1, y2 - y1, z2 - z1);
}

// Half the longitude and latitude differences in radians, the angles at which
// the short-arc formula changes from its series to the library's sine (of
// the longitude) and gives up (for the latitude).
double HalfLonRad(const tagLonLat& a, const tagLonLat& b) {
  return std::remainder(b.lon - a.lon, 360.0) * 0.5 * vxgeo::kRadPerDegree;
}
double HalfLatRad(const tagLonLat& a, const tagLonLat& b) {
  return (b.lat - a.lat) * 0.5 * vxgeo::kRadPerDegree;
}

}  // namespace

// Every segment is checked three ways: SegmentLength is within 0.1 mm of
// GeographicLib's inverse; the short-arc formula measures every chord below
// 10 km, within its documented bound, and no chord above it; where it does
// not measure, SegmentLength is GeographicLib's inverse itself. Besides the
// random segments from 1 mm to 20,000 km, samples straddle each of the
// formula's switches: a chord of 10 km, half a longitude difference of 0.01
// radian (near the poles, where such a chord is short) and half a latitude
// difference of 0.01 radian. Under valgrind a twentieth of the samples.
TEST(Geo, ShortArcBoundHoldsAndLongSegmentsAreGeographicLib) {
  const int nScale = RUNNING_ON_VALGRIND ? 20 : 1;
  const int nRandom = 880000 / nScale, nChordSwitch = 40000 / nScale;
  const int nLonSwitch = 60000 / nScale, nLatSwitch = 20000 / nScale;
  SegmentSampler rnd;
  const double kSwitchDeg = 2 * 0.01 / vxgeo::kRadPerDegree;  // 1.146 degrees
  struct Tally {
    long nShort = 0, nLong = 0, nFailures = 0;
    // Samples within 1 % of each switch, on either side of it.
    long nBelowLimit = 0, nAboveLimit = 0;  // chord of 10 km
    long nLonSeries = 0, nLonSine = 0;      // short arcs, half longitude of 0.01
    long nLatInside = 0, nLatOutside = 0;   // half latitude of 0.01
    double dMaxShortError = 0, dMaxBoundRatio = 0, dMaxError = 0;
  } t;
  const auto check = [&](const tagLonLat& a, const tagLonLat& b) {
    double dRef = 0;
    GeographicLib::Geodesic::WGS84().Inverse(a.lat, a.lon, b.lat, b.lon, dRef);
    const double dChord = Chord(a, b);
    const double dLen = SegmentLength(a, b);
    double dShort = -1;
    const bool bShort = vxgeo::ShortArcLength(a, b, dShort);
    const double dError = std::fabs(dLen - dRef);
    bool bOk = dError <= 1e-4;
    if (bShort) {
      const double dBound =
          vxgeo::kShortArcCubic * dChord * dChord * dChord + vxgeo::kShortArcRounding;
      const double dShortError = std::fabs(dShort - dRef);
      bOk = bOk && dShortError <= dBound && dChord <= vxgeo::kShortArcLimit + 1e-6;
      t.dMaxShortError = std::max(t.dMaxShortError, dShortError);
      t.dMaxBoundRatio = std::max(t.dMaxBoundRatio, dShortError / dBound);
      ++t.nShort;
      t.nBelowLimit += dChord > 0.99 * vxgeo::kShortArcLimit;
      const double h = std::fabs(HalfLonRad(a, b));
      t.nLonSeries += h > 0.0099 && h < 0.01;
      t.nLonSine += h > 0.01 && h < 0.0101;
    } else {
      bOk = bOk && dChord >= vxgeo::kShortArcLimit - 1e-6 && dLen == dRef;
      ++t.nLong;
      t.nAboveLimit += dChord < 1.01 * vxgeo::kShortArcLimit;
    }
    const double d = std::fabs(HalfLatRad(a, b));
    t.nLatInside += d > 0.0099 && d < 0.01;
    t.nLatOutside += d > 0.01 && d < 0.0101;
    t.dMaxError = std::max(t.dMaxError, dError);
    if (!bOk && ++t.nFailures <= 10) {
      ADD_FAILURE() << std::setprecision(17) << "(" << a.lon << ", " << a.lat << ") to (" << b.lon
                    << ", " << b.lat << "): GeographicLib " << dRef << ", SegmentLength " << dLen
                    << ", short arc " << (bShort ? dShort : kNaN) << ", chord " << dChord;
    }
  };
  for (int i = 0; i < nRandom; ++i) {
    const tagLonLat a = rnd.First();
    check(a, rnd.Along(a, 1e-3, 2e7));
  }
  for (int i = 0; i < nChordSwitch; ++i) {
    const tagLonLat a = rnd.First();
    check(a, rnd.Along(a, vxgeo::kShortArcLimit - 10, vxgeo::kShortArcLimit + 10));
  }
  // Near the poles (above 85.5 degrees a chord across 1.146 degrees of
  // longitude is below 10 km), a quarter of them across the antimeridian.
  for (int i = 0; i < nLonSwitch; ++i) {
    const double lat = std::copysign(85.5 + 4.5 * rnd.U(), rnd.U() - 0.5);
    const double lon = i % 4 == 0 ? 179.5 + 0.5 * rnd.U() : 360 * rnd.U() - 180;
    const double dLon = std::copysign(kSwitchDeg * (1 + 2e-3 * (rnd.U() - 0.5)), rnd.U() - 0.5);
    const double lat2 = std::clamp(lat + 1e-3 * (rnd.U() - 0.5), -90.0, 90.0);
    check({lon, lat}, {std::remainder(lon + dLon, 360.0), lat2});
  }
  for (int i = 0; i < nLatSwitch; ++i) {
    const tagLonLat a = rnd.First();
    const double dLat = kSwitchDeg * (1 + 2e-3 * (rnd.U() - 0.5));
    const double lat2 = a.lat + (a.lat > 0 ? -dLat : dLat);
    check(a, {a.lon + 1e-3 * (rnd.U() - 0.5), lat2});
  }
  std::printf(
      "short arcs %ld (max error %.3g m, %.3g of the bound), GeographicLib %ld; max error %.3g m\n"
      "either side of the switches: chord %ld / %ld, longitude %ld / %ld, latitude %ld / %ld\n",
      t.nShort, t.dMaxShortError, t.dMaxBoundRatio, t.nLong, t.dMaxError, t.nBelowLimit,
      t.nAboveLimit, t.nLonSeries, t.nLonSine, t.nLatInside, t.nLatOutside);
  EXPECT_EQ(t.nFailures, 0);
  // Every switch was sampled on both sides.
  const long nEach = 500 / nScale;
  EXPECT_GT(t.nBelowLimit, nEach);
  EXPECT_GT(t.nAboveLimit, nEach);
  EXPECT_GT(t.nLonSeries, nEach);
  EXPECT_GT(t.nLonSine, nEach);
  EXPECT_GT(t.nLatInside, nEach);
  EXPECT_GT(t.nLatOutside, nEach);
}
