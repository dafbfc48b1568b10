// Plane geometry, projection onto a segment and directions in tenths.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <thread>
#include <vector>

#include "geometry/CAngleNum.h"
#include "geometry/CPoint.h"
#include "geometry/CSegment.h"
#include "geometry/CVector.h"
#include "geometry/Projection.h"

namespace {

using Pt = CPoint<double, 2>;
using Vec = CVector<double, 2>;
using Seg = CSegment<double, 2>;
using Angle = CAngleNum<3600>;

Pt P(double x, double y) {
  Pt p;
  p.m_d[0] = x;
  p.m_d[1] = y;
  return p;
}

void ExpectPt(const Pt& p, double x, double y) {
  EXPECT_DOUBLE_EQ(p.m_d[0], x);
  EXPECT_DOUBLE_EQ(p.m_d[1], y);
}

// The search of the table as written: the first entry greater than t.
unsigned short LinearAngle(double dX1, double dY1, double dX2, double dY2) {
  const double dx = dX2 - dX1;
  const double dy = dY2 - dY1;
  if (dx == 0) return dy == 0 ? 0 : (dy > 0 ? 900 : 2700);
  if (dy == 0) return dx > 0 ? 0 : 1800;
  double t = std::fabs(dy / dx);
  unsigned i = 0;
  while (i <= 900 && !(t < Angle::s_dTan[i])) ++i;
  const unsigned m = i - 1;
  if (dx > 0 && dy > 0) return static_cast<unsigned short>(m);
  if (dx < 0 && dy > 0) return static_cast<unsigned short>(1800 - m);
  if (dx > 0) return static_cast<unsigned short>(3600 - m);
  return static_cast<unsigned short>(1800 + m);
}

}  // namespace

TEST(Vector, ConstructionArithmeticAndAnchoring) {
  Vec v0;
  ExpectPt(v0.m_ptComp, 0, 0);
  ExpectPt(v0.m_ptStart, 0, 0);
  ExpectPt(v0.m_ptEnd, 0, 0);
  EXPECT_EQ(v0.Length(0), 0.0);

  Vec v(P(1, 2), P(4, 6));
  ExpectPt(v.m_ptComp, 3, 4);
  ExpectPt(v.m_ptStart, 1, 2);
  ExpectPt(v.m_ptEnd, 4, 6);
  EXPECT_EQ(v.Length(0), 25.0);
  EXPECT_EQ(v.Length(1), 5.0);

  Vec half = v * 0.5;
  ExpectPt(half.m_ptComp, 1.5, 2);
  ExpectPt(half.m_ptStart, 0, 0);
  ExpectPt(v.m_ptComp, 3, 4);

  v += Vec(P(1, 1));
  ExpectPt(v.m_ptComp, 4, 5);
  ExpectPt(v.m_ptStart, 0, 0);
  ExpectPt(v.m_ptEnd, 4, 5);

  EXPECT_EQ(Vec(P(3, 4)).Dot(Vec(P(-4, 3))), 0.0);
  ExpectPt(P(5, 7) - P(2, 3), 3, 4);
}

TEST(Projection, ClampsToTheEndsAndBreaksTiesTowardThem) {
  Seg s;
  s.m_ptStart = P(0, 0);
  s.m_ptEnd = P(10, 0);
  struct Case {
    double x, y, cx, cy, d2;
  } cases[] = {{4, 3, 4, 0, 9},  {-2, 1, 0, 0, 5},   {12, -1, 10, 0, 5},
               {0, 7, 0, 0, 49}, {10, 7, 10, 0, 49}, {6, 0, 6, 0, 0}};
  for (const Case& c : cases) {
    Pt closest = P(-99, -99);
    EXPECT_DOUBLE_EQ(DistPointToSegment(P(c.x, c.y), s, &closest, 0), c.d2) << c.x << "," << c.y;
    ExpectPt(closest, c.cx, c.cy);
  }
  Pt closest;
  EXPECT_DOUBLE_EQ(DistPointToSegment(P(4, 3), s, &closest, 1), 3.0);

  Seg degenerate;
  degenerate.m_ptStart = P(1, 1);
  degenerate.m_ptEnd = P(1, 1);
  EXPECT_DOUBLE_EQ(DistPointToSegment(P(4, 5), degenerate, &closest, 0), 25.0);
  ExpectPt(closest, 1, 1);
  EXPECT_DOUBLE_EQ(DistPointToSegment(P(4, 5), degenerate, &closest, 1), 5.0);

  // Longitude is not scaled by latitude.
  Seg north;
  north.m_ptStart = P(0, 60);
  north.m_ptEnd = P(0, 61);
  EXPECT_DOUBLE_EQ(DistPointToSegment(P(1, 60.5), north, &closest, 0), 1.0);
  ExpectPt(closest, 0, 60.5);
  EXPECT_DOUBLE_EQ(DistPointToPoint(P(1, 1), P(4, 5), 1), 5.0);
}

TEST(Angle, TableOfDirections) {
  struct Case {
    double x, y;
    unsigned short a;
  } cases[] = {{0, 0, 0},          {1, 0, 0},           {0, 1, 900},    {-1, 0, 1800},
               {0, -1, 2700},      {2, 1, 265},         {-2, 1, 1535},  {-2, -1, 2065},
               {2, -1, 3335},      {3, 4, 531},         {1, 0.0001, 0}, {1, -0.0001, 3600},
               {-1, 0.0001, 1800}, {-1, -0.0001, 1800}, {200, 100, 265}};
  for (const Case& c : cases) {
    EXPECT_EQ(Angle::GetAngle(0, 0, c.x, c.y), c.a) << c.x << "," << c.y;
  }
  EXPECT_EQ(Angle::GetAngle(10, 20, 12, 21), 265);
  EXPECT_EQ(Angle::GetAngle(0, 0, 1, 1000000.0), 900);
  EXPECT_EQ(Angle::GetAngle(0, 0, 1, 500000.0), 899);
  EXPECT_EQ(Angle::GetAngle(0, 0, -1, 500000.0), 901);
  EXPECT_EQ(Angle::GetAngle(0, 0, -1, -500000.0), 2699);
  EXPECT_EQ(Angle::GetAngle(0, 0, 1, -500000.0), 2701);
}

TEST(Angle, TableHoldsTheTangentsItIsDefinedBy) {
  Angle::InitTable();
  EXPECT_EQ(Angle::s_bInit, 1);
  for (unsigned k = 0; k < 900; ++k) {
    EXPECT_EQ(Angle::s_dTan[k], std::tan(k * 0.0017453292519943296)) << k;
  }
  EXPECT_EQ(Angle::s_dTan[900], 1000000.0);
}

TEST(Angle, BinarySearchFindsTheIndexOfTheScanFromEntryZero) {
  Angle::InitTable();
  std::mt19937_64 rng(42);
  std::uniform_real_distribution<double> coord(-1.0, 1.0);
  for (int i = 0; i < 200000; ++i) {
    const double x = coord(rng), y = coord(rng) * std::pow(10.0, (i % 13) - 6);
    ASSERT_EQ(Angle::GetAngle(0, 0, x, y), LinearAngle(0, 0, x, y)) << x << "," << y;
  }
  // Slopes exactly at and around every table entry.
  for (unsigned k = 1; k <= 900; ++k) {
    const double t = Angle::s_dTan[k];
    for (double s : {t, std::nextafter(t, 0.0), std::nextafter(t, 2e6)}) {
      ASSERT_EQ(Angle::GetAngle(0, 0, 1, s), LinearAngle(0, 0, 1, s)) << k;
      ASSERT_EQ(Angle::GetAngle(0, 0, -1, -s), LinearAngle(0, 0, -1, -s)) << k;
    }
  }
}

TEST(Angle, NonFiniteCoordinatesGiveZero) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(Angle::GetAngle(nan, 0, 1, 1), 0);
  EXPECT_EQ(Angle::GetAngle(0, 0, 1, nan), 0);
  EXPECT_EQ(Angle::GetAngle(0, 0, inf, 1), 0);
  EXPECT_EQ(Angle::GetAngle(-inf, 0, 0, inf), 0);
  EXPECT_EQ(Angle::GetAngle(-1.7e308, 0, 1.7e308, 1), 0);  // the difference overflows
}
