// Position matching: the nearest segment with its direction window, snap,
// ties and fallback; the rejoin search; the public match with its on, off and
// arrived results; and the boxes index against a plain scan of the list.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <random>
#include <string>
#include <vector>

#include "CPath/CPath.h"
#include "CPath/PathInternal.h"
#include "geometry/CAngleNum.h"
#include "geometry/Projection.h"
#include "interfaces/VroGeo.h"

// Counts the allocations of the whole test program.
static std::atomic<long> g_nAllocations{0};

__attribute__((noinline)) void* operator new(std::size_t n) {
  ++g_nAllocations;
  if (void* p = std::malloc(n != 0 ? n : 1)) return p;
  throw std::bad_alloc();
}
__attribute__((noinline)) void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
  ++g_nAllocations;
  return std::malloc(n != 0 ? n : 1);
}
__attribute__((noinline)) void operator delete(void* p) noexcept { std::free(p); }
__attribute__((noinline)) void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// Opens the protected matching operations and the list fields to the tests.
class MatchPath : public CPath {
 public:
  using CPath::FindNode;
  using CPath::TestPoint;
  NavEdge* Head() const { return pHead; }
  NavEdge* Cursor() const { return pCursor; }
  void SetAhead(double dMatch, double dAhead) {
    dMatchDist = dMatch;
    dAheadDist = dAhead;
  }
  // Drops the first edge as the routing operations do, without telling the
  // index.
  void DropFirstEdge() {
    NavEdge* pEdge = pHead;
    pHead = pEdge->pNext;
    pHead->pPrev = nullptr;
    DeleteNavEdge(pEdge);
  }
  int Add(const std::vector<tagLonLat>& pts, const char* szName = "",
          VRO_FEATURE_ID id = vx::kNullFeatureId) {
    return AddEdge("R000", "R1", szName, "", static_cast<unsigned short>(pts.size()), pts.data(),
                   id);
  }
};

VRO_FEATURE_ID Id(std::uint32_t n) { return {{n, 0, 0, 1}}; }

// A match of the protected TestPoint.
struct Match {
  const CPath::NavEdge* pEdge = nullptr;
  unsigned short w = 0xABCD;
  tagLonLat pt = {-1.0, -1.0};
};

Match Find(const MatchPath& path, tagLonLat pt, double dTol, double dAngle,
           const CPath::NavEdge* pStart = nullptr) {
  Match m;
  m.pEdge = path.TestPoint(pt, dTol, m.w, m.pt, dAngle, pStart);
  return m;
}

// Plain transcription of the nearest-segment scan, walking the list.
Match PlainScan(const CPath::NavEdge* pHead, tagLonLat pt, double dTol, double dAngle,
                const CPath::NavEdge* pStart) {
  Match m;
  if (pHead == nullptr || !(dTol > 0)) return m;
  double dLon = 0, dLat = 0;
  GetUnitDegree(pt, dLon, dLat);
  dLon *= dTol;
  dLat *= dTol;
  const double l = pt.lon - dLon, b = pt.lat - dLat, r = pt.lon + dLon, t = pt.lat + dLat;
  unsigned short wHeading = 0xFFFF;
  if (dAngle >= 0 && dAngle * 3600.0 / 360.0 < 65536.0) {
    wHeading = static_cast<unsigned short>(dAngle * 3600.0 / 360.0);
  }
  double dClose = 1e21, dVery = 1e21;
  Match very;
  for (const CPath::NavEdge* e = pStart ? pStart : pHead; e; e = e->pNext) {
    if (!(e->dMaxLon > l && e->dMaxLat > b && e->dMinLon < r && e->dMinLat < t)) continue;
    for (int i = 0; i + 1 < e->wPtNum; ++i) {
      CPoint<double, 2> p, temp;
      p.m_d[0] = pt.lon;
      p.m_d[1] = pt.lat;
      CSegment<double, 2> s;
      s.m_ptStart.m_d[0] = e->pts[i].lon;
      s.m_ptStart.m_d[1] = e->pts[i].lat;
      s.m_ptEnd.m_d[0] = e->pts[i + 1].lon;
      s.m_ptEnd.m_d[1] = e->pts[i + 1].lat;
      const double d = DistPointToSegment(p, s, &temp, 0);
      if (!(d < dClose)) continue;
      tagLonLat c = {temp.m_d[0], temp.m_d[1]};
      int w = i;
      if (std::fabs(c.lon - e->pts[i].lon) < 1e-5 && std::fabs(c.lat - e->pts[i].lat) < 1e-5) {
        c = e->pts[i];
      } else if (std::fabs(c.lon - e->pts[i + 1].lon) < 1e-5 &&
                 std::fabs(c.lat - e->pts[i + 1].lat) < 1e-5) {
        c = e->pts[i + 1];
        w = i + 1;
      }
      bool bOk = wHeading == 0xFFFF;
      if (!bOk) {
        const int a = w < e->wPtNum - 1
                          ? CAngleNum<3600>::GetAngle(e->pts[w].lon, e->pts[w].lat,
                                                      e->pts[w + 1].lon, e->pts[w + 1].lat)
                          : CAngleNum<3600>::GetAngle(e->pts[w - 1].lon, e->pts[w - 1].lat,
                                                      e->pts[w].lon, e->pts[w].lat);
        const int diff = std::abs(a - wHeading);
        bOk = diff < 450 || 3600 - diff < 450;
      }
      if (bOk) {
        dClose = d;
        m = {e, static_cast<unsigned short>(w), c};
      }
      if (d < dVery) {
        dVery = d;
        very = {e, static_cast<unsigned short>(w), c};
      }
    }
  }
  if (m.pEdge) return m;
  if (very.pEdge) return very;
  return {pHead, 0, pHead->pts[0]};
}

void ExpectSame(const Match& a, const Match& b) {
  EXPECT_EQ(a.pEdge, b.pEdge);
  EXPECT_EQ(a.w, b.w);
  EXPECT_EQ(a.pt.lon, b.pt.lon);
  EXPECT_EQ(a.pt.lat, b.pt.lat);
}

// Test positions in steps of a thousandth of a degree from 13 E, 52 N.
constexpr double kLon0 = 13.0;
constexpr double kLat0 = 52.0;
constexpr double kStep = 0.001;  // about 69 m of longitude, 111 m of latitude

tagLonLat P(double x, double y) { return {kLon0 + x * kStep, kLat0 + y * kStep}; }

}  // namespace

TEST(IsSamePoint, StrictWithinThreeMillionths) {
  EXPECT_EQ(vx::IsSamePoint({1.0, 2.0}, {1.0, 2.0}), 1);
  EXPECT_EQ(vx::IsSamePoint({0.0, 0.0}, {2.9e-6, -2.9e-6}), 1);
  EXPECT_EQ(vx::IsSamePoint({0.0, 0.0}, {3e-6, 0.0}), 0);
  EXPECT_EQ(vx::IsSamePoint({0.0, 0.0}, {0.0, -3e-6}), 0);
  EXPECT_EQ(vx::IsSamePoint({0.0, 0.0}, {kNaN, 0.0}), 0);
}

TEST(HeadingTenths, ConvertsOnlyWhatFitsSixteenBits) {
  EXPECT_EQ(vx::HeadingTenths(-0.5), vx::kNoHeading);
  EXPECT_EQ(vx::HeadingTenths(0.0), 0);
  EXPECT_EQ(vx::HeadingTenths(10.09), 100);
  EXPECT_EQ(vx::HeadingTenths(360.0), 3600);
  EXPECT_EQ(vx::HeadingTenths(6553.45), 65534);
  EXPECT_EQ(vx::HeadingTenths(6553.5), 65535);
  EXPECT_EQ(vx::HeadingTenths(6553.6), vx::kNoHeading);
  EXPECT_EQ(vx::HeadingTenths(1e9), vx::kNoHeading);
  EXPECT_EQ(vx::HeadingTenths(kInf), vx::kNoHeading);
  EXPECT_EQ(vx::HeadingTenths(-kInf), vx::kNoHeading);
  EXPECT_EQ(vx::HeadingTenths(kNaN), vx::kNoHeading);
}

TEST(EdgeMatch, NothingToMatch) {
  MatchPath path;
  Match m = Find(path, P(0, 0), 10, -1);
  EXPECT_EQ(m.pEdge, nullptr);
  EXPECT_EQ(m.w, 0xABCD);
  EXPECT_EQ(m.pt.lon, -1.0);
  ASSERT_EQ(path.Add({P(0, 0), P(1, 0)}), 1);
  EXPECT_EQ(Find(path, P(0, 0), 0, -1).pEdge, nullptr);
  EXPECT_EQ(Find(path, P(0, 0), -3, -1).pEdge, nullptr);
  EXPECT_EQ(Find(path, P(0, 0), kNaN, -1).pEdge, nullptr);
}

TEST(EdgeMatch, InteriorProjectionAndSharedVertex) {
  MatchPath path;
  ASSERT_EQ(path.Add({P(0, 0), P(2, 0), P(2, 2)}), 1);
  // Above the interior of segment 0: index 0, the projected point.
  Match m = Find(path, P(1, 0.1), 50, -1);
  EXPECT_EQ(m.pEdge, path.Head());
  EXPECT_EQ(m.w, 0);
  EXPECT_DOUBLE_EQ(m.pt.lon, P(1, 0).lon);
  EXPECT_DOUBLE_EQ(m.pt.lat, kLat0);
  // On the shared vertex: the earlier segment, snapped to its end point.
  m = Find(path, P(2, 0), 50, -1);
  EXPECT_EQ(m.w, 1);
  EXPECT_EQ(m.pt.lon, P(2, 0).lon);
  EXPECT_EQ(m.pt.lat, P(2, 0).lat);
}

TEST(EdgeMatch, SnapsWithinOneHundredThousandthOfADegree) {
  MatchPath path;
  ASSERT_EQ(path.Add({{13.0, 52.0}, {13.001, 52.0}}), 1);
  Match m = Find(path, {13.0000099, 52.000001}, 50, -1);
  EXPECT_EQ(m.w, 0);
  EXPECT_EQ(m.pt.lon, 13.0);
  EXPECT_EQ(m.pt.lat, 52.0);
  m = Find(path, {13.0000101, 52.000001}, 50, -1);
  EXPECT_EQ(m.w, 0);
  EXPECT_DOUBLE_EQ(m.pt.lon, 13.0000101);
  // Near the end point: index 1 and the end point exactly.
  m = Find(path, {13.000995, 52.000001}, 50, -1);
  EXPECT_EQ(m.w, 1);
  EXPECT_EQ(m.pt.lon, 13.001);
  // The start point is tried first on a segment shorter than the snap range.
  MatchPath tiny;
  ASSERT_EQ(tiny.Add({{13.0, 52.0}, {13.000004, 52.0}}), 1);
  m = Find(tiny, {13.000003, 52.0}, 50, -1);
  EXPECT_EQ(m.w, 0);
  EXPECT_EQ(m.pt.lon, 13.0);
}

TEST(EdgeMatch, BendVertexTestsTheLeavingSegment) {
  MatchPath path;
  // Edge A runs east, then bends north at P(2,0). Edge B runs east 0.2 below.
  ASSERT_EQ(path.Add({P(0, 0), P(2, 0), P(2, 2)}), 1);
  ASSERT_EQ(path.Add({P(2, 2), P(2, 3)}), 1);
  ASSERT_EQ(path.Add({P(0, -0.2), P(4, -0.2)}), 1);
  const CPath::NavEdge* pA = path.Head();
  const CPath::NavEdge* pB = pA->pNext->pNext;
  Match m = Find(path, P(2, 0), 100, 90.0);  // north: the leaving segment agrees
  EXPECT_EQ(m.pEdge, pA);
  EXPECT_EQ(m.w, 1);
  m = Find(path, P(2, 0), 100, 0.0);  // east: only the arriving one agrees
  EXPECT_EQ(m.pEdge, pB);
  m = Find(path, P(2, 0), 100, -1.0);
  EXPECT_EQ(m.pEdge, pA);
}

TEST(EdgeMatch, NodeBetweenEdgesAgreesWithBothDirections) {
  MatchPath path;
  ASSERT_EQ(path.Add({P(0, 0), P(2, 0)}), 1);
  ASSERT_EQ(path.Add({P(2, 0), P(2, 2)}), 1);
  const CPath::NavEdge* pA = path.Head();
  Match m = Find(path, P(2, 0), 50, 0.0);
  EXPECT_EQ(m.pEdge, pA);
  EXPECT_EQ(m.w, 1);
  m = Find(path, P(2, 0), 50, 90.0);
  EXPECT_EQ(m.pEdge, pA->pNext);
  EXPECT_EQ(m.w, 0);
  EXPECT_EQ(m.pt.lat, P(2, 0).lat);
}

TEST(EdgeMatch, OppositeSegmentOnlyAsFallback) {
  MatchPath path;
  ASSERT_EQ(path.Add({P(0, 0), P(4, 0)}), 1);
  Match m = Find(path, P(1, 0.1), 50, 180.0);
  EXPECT_EQ(m.pEdge, path.Head());  // nearest of any direction
  EXPECT_EQ(m.w, 0);
  ASSERT_EQ(path.Add({P(4, 0.3), P(0, 0.3)}), 1);
  m = Find(path, P(1, 0.1), 50, 180.0);
  EXPECT_EQ(m.pEdge, path.Head()->pNext);  // farther, but westbound
  // Heading 0 is a real heading: east, so the first edge again.
  m = Find(path, P(1, 0.25), 50, 0.0);
  EXPECT_EQ(m.pEdge, path.Head());
  m = Find(path, P(1, 0.25), 50, -0.001);
  EXPECT_EQ(m.pEdge, path.Head()->pNext);
}

TEST(EdgeMatch, DirectionWindowIsStrictAndWraps) {
  MatchPath path;
  ASSERT_EQ(path.Add({P(0, 0), P(4, 0)}), 1);        // bearing 0, nearest
  ASSERT_EQ(path.Add({P(1, 0.3), P(2, 0.8)}), 1);    // bearing about 265
  ASSERT_EQ(path.Add({P(1, -0.3), P(2, -0.8)}), 1);  // bearing about 3335
  const CPath::NavEdge* pEast = path.Head();
  const CPath::NavEdge* pUp = pEast->pNext;
  const CPath::NavEdge* pDown = pUp->pNext;
  ASSERT_NEAR(vx::Bearing(pUp->pts[0], pUp->pts[1]), 265, 2);
  ASSERT_NEAR(vx::Bearing(pDown->pts[0], pDown->pts[1]), 3335, 2);
  const tagLonLat pt = P(1.5, 0.05);
  // A difference of exactly 450 is outside the window, on either side of 0.
  EXPECT_EQ(Find(path, pt, 200, 44.95).pEdge, pEast);
  EXPECT_EQ(Find(path, pt, 200, 45.0).pEdge, pUp);
  EXPECT_EQ(Find(path, pt, 200, 315.15).pEdge, pEast);
  EXPECT_EQ(Find(path, pt, 200, 315.0).pEdge, pDown);
  // A slope just below east has bearing 3600, which agrees with heading 10.
  MatchPath down;
  ASSERT_EQ(down.Add({{13.0, 52.0}, {13.01, 52.0 - 1e-12}}), 1);
  ASSERT_EQ(down.Add({{13.0, 52.0002}, {13.0, 52.01}}), 1);
  ASSERT_EQ(vx::Bearing(down.Head()->pts[0], down.Head()->pts[1]), 3600);
  EXPECT_EQ(Find(down, {13.001, 52.00005}, 100, 10.0).pEdge, down.Head());
  EXPECT_EQ(Find(down, {13.001, 52.00005}, 100, 55.0).pEdge, down.Head()->pNext);
}

TEST(EdgeMatch, HeadingIsNotNormalised) {
  MatchPath path;
  ASSERT_EQ(path.Add({P(4, 0.1), P(0, 0.1)}), 1);  // west, nearest
  ASSERT_EQ(path.Add({P(0, 0), P(4, 0)}), 1);      // east
  const tagLonLat pt = P(2, 0.08);
  EXPECT_EQ(Find(path, pt, 100, -1).pEdge, path.Head());
  // 360 degrees is 3600 tenths: agrees with east as 0 does.
  EXPECT_EQ(Find(path, pt, 100, 360.0).pEdge, path.Head()->pNext);
  EXPECT_EQ(Find(path, pt, 100, 0.0).pEdge, path.Head()->pNext);
  // 700 degrees: every difference is above 3150, so everything agrees.
  EXPECT_EQ(Find(path, pt, 100, 700.0).pEdge, path.Head());
}

TEST(EdgeMatch, TiesGoToScanOrder) {
  MatchPath path;
  ASSERT_EQ(path.Add({P(0, 0), P(2, 0)}), 1);
  ASSERT_EQ(path.Add({P(0, 0), P(2, 0)}), 1);  // the same segment again
  Match m = Find(path, P(1, 0.1), 100, -1);
  EXPECT_EQ(m.pEdge, path.Head());
  m = Find(path, P(1, 0.1), 100, -1, path.Head()->pNext);
  EXPECT_EQ(m.pEdge, path.Head()->pNext);
}

TEST(EdgeMatch, StartEdgeAndFallbackToFirstEdge) {
  MatchPath path;
  ASSERT_EQ(path.Add({P(0, 0), P(2, 0)}), 1);
  ASSERT_EQ(path.Add({P(2, 0), P(2, 5)}), 1);
  const CPath::NavEdge* pSecond = path.Head()->pNext;
  // Edges before the start edge are never examined, even when nearer.
  Match m = Find(path, P(1, 0.05), 200, -1, pSecond);
  EXPECT_EQ(m.pEdge, pSecond);
  EXPECT_EQ(m.w, 0);
  // Far from everything: the first edge at its first point, whatever the start.
  m = Find(path, P(100, 100), 50, -1, pSecond);
  EXPECT_EQ(m.pEdge, path.Head());
  EXPECT_EQ(m.w, 0);
  EXPECT_EQ(m.pt.lon, P(0, 0).lon);
  EXPECT_EQ(m.pt.lat, P(0, 0).lat);
}

TEST(EdgeMatch, BoxTouchingTheSearchBoxIsSkipped) {
  const tagLonLat pt = P(0, 0);
  double dLon = 0, dLat = 0;
  GetUnitDegree(pt, dLon, dLat);
  const double rbLon = pt.lon + dLon * 40.0;
  MatchPath path;
  ASSERT_EQ(path.Add({P(50, 50), P(51, 50)}), 1);
  ASSERT_EQ(path.Add({{rbLon, pt.lat - 0.001}, {rbLon + 0.001, pt.lat + 0.001}}), 1);
  Match m = Find(path, pt, 40.0, -1);
  EXPECT_EQ(m.pEdge, path.Head());  // only the fallback
  m = Find(path, pt, 40.001, -1);
  EXPECT_EQ(m.pEdge, path.Head()->pNext);
}

TEST(FindNode, EdgeStartingAtLeastTheLookAheadAway) {
  MatchPath path;
  for (int i = 0; i < 5; ++i) {
    ASSERT_EQ(path.Add({P(i, 0), P(i + 1, 0)}), 1);  // about 68.6 m each
  }
  const CPath::NavEdge* e[5];
  e[0] = path.Head();
  for (int i = 1; i < 5; ++i) e[i] = e[i - 1]->pNext;
  const double dRest = SegmentLength(P(0.5, 0), P(1, 0));
  path.SetAhead(2000, dRest - 0.01);  // no more than the rest of the matched edge
  EXPECT_EQ(path.FindNode(P(0.5, 0.01), -1), e[1]);
  path.SetAhead(2000, dRest + 0.01);
  EXPECT_EQ(path.FindNode(P(0.5, 0.01), -1), e[2]);
  path.SetAhead(2000, dRest + e[1]->dEdgeLen + e[2]->dEdgeLen - 0.01);
  EXPECT_EQ(path.FindNode(P(0.5, 0.01), -1), e[3]);
  path.SetAhead(2000, 1.0);
  EXPECT_EQ(path.FindNode(P(4.5, 0.01), -1), nullptr);  // on the last edge
  path.SetAhead(2000, 1e6);
  EXPECT_EQ(path.FindNode(P(0.5, 0.01), -1), nullptr);  // the path ends first
  // On a vertex the rest is the edge from that vertex on.
  path.SetAhead(2000, e[1]->dEdgeLen);
  EXPECT_EQ(path.FindNode(P(1, 0), -1), e[2]);
  path.SetAhead(50, 1.0);
  EXPECT_EQ(path.FindNode(P(0.5, 1), -1), nullptr);  // about 111 m away
  path.SetAhead(0, 1.0);
  EXPECT_EQ(path.FindNode(P(0.5, 0), -1), nullptr);
}

namespace {

// A path of four named edges: east, east, north (a left turn), east (right).
struct TurnPath {
  MatchPath path;
  std::vector<tagLonLat> a = {P(0, 0), P(1, 0), P(2, 0)};
  std::vector<tagLonLat> b = {P(2, 0), P(3, 0)};
  std::vector<tagLonLat> c = {P(3, 0), P(3, 1), P(3, 2)};
  std::vector<tagLonLat> d = {P(3, 2), P(3.1, 2)};
  TurnPath() {
    EXPECT_EQ(path.Add(a, "A", Id(1)), 1);
    EXPECT_EQ(path.Add(b, "B", Id(2)), 1);
    EXPECT_EQ(path.Add(c, "C", Id(3)), 1);
    EXPECT_EQ(path.Add(d, "", Id(4)), 1);
  }
};

void ExpectPoint(const tagLonLat& a, const tagLonLat& b) {
  EXPECT_EQ(a.lon, b.lon);
  EXPECT_EQ(a.lat, b.lat);
}

}  // namespace

TEST(PositionMatch, EmptyPathAndBadToleranceGiveResetRecord) {
  MatchPath path;
  NavGuid nav;
  std::memset(&nav, 0x5A, sizeof nav);
  EXPECT_EQ(path.TestPoint(P(0, 0), 10, nav, -1, nullptr), 0);
  ExpectPoint(nav.ptBefore, vx::kMissingPoint);
  ExpectPoint(nav.ptClose, vx::kMissingPoint);
  ExpectPoint(nav.ptAfter, vx::kMissingPoint);
  ExpectPoint(nav.ptEnd, vx::kMissingPoint);
  EXPECT_EQ(vx::IsSameFeatureId(nav.idEdge, vx::kNullFeatureId), 1);
  EXPECT_EQ(vx::IsSameFeatureId(nav.idNext, vx::kNullFeatureId), 1);
  EXPECT_STREQ(nav.szName, "");
  EXPECT_STREQ(nav.szNextName, "");
  EXPECT_EQ(nav.pPts, nullptr);
  EXPECT_EQ(nav.pNextPts, nullptr);
  EXPECT_EQ(nav.wPtNum, 0);
  TurnPath t;
  EXPECT_EQ(t.path.TestPoint(P(1, 0), 0, nav, -1, nullptr), 0);
  EXPECT_EQ(t.path.TestPoint(P(1, 0), -5, nav, -1, nullptr), 0);
  EXPECT_EQ(t.path.TestPoint(P(1, 0), kNaN, nav, -1, nullptr), 0);
}

TEST(PositionMatch, OffThePath) {
  TurnPath t;
  NavGuid nav;
  ASSERT_EQ(t.path.StartGuid(), 1);
  // Far from every edge box: the fallback point, the first point.
  EXPECT_EQ(t.path.TestPoint(P(1, -0.45), 30, nav, -1, nullptr), 3);
  ExpectPoint(nav.ptClose, P(0, 0));
  ExpectPoint(nav.ptEnd, vx::kMissingPoint);
  EXPECT_EQ(t.path.Cursor(), nullptr);
  PathGuid g;
  EXPECT_EQ(t.path.NextGuid(g), 0);
  // About 65 m from a diagonal edge whose box holds the position.
  MatchPath diag;
  ASSERT_EQ(diag.Add({P(0, 0), P(4, 4)}), 1);
  EXPECT_EQ(diag.TestPoint(P(2.5, 1.5), 30, nav, -1, nullptr), 3);
  EXPECT_NEAR(nav.ptClose.lon, P(2, 2).lon, 1e-12);
  EXPECT_NEAR(nav.ptClose.lat, P(2, 2).lat, 1e-12);
}

TEST(PositionMatch, OnAnEdgeFillsCurrentAndFollowingEdge) {
  TurnPath t;
  NavGuid nav;
  nav.dReserved1 = 7.5;
  EXPECT_EQ(t.path.TestPoint(P(2.5, 0.01), 30, nav, -1, nullptr), 1);
  EXPECT_EQ(nav.idEdge.dw[0], 2u);
  EXPECT_STREQ(nav.szName, "B");
  EXPECT_EQ(nav.pPts, t.path.Head()->pNext->pts);
  EXPECT_EQ(nav.wPtNum, 2);
  ExpectPoint(nav.ptBefore, P(2, 0));
  ExpectPoint(nav.ptAfter, P(3, 0));
  EXPECT_DOUBLE_EQ(nav.ptClose.lon, P(2.5, 0).lon);
  EXPECT_NEAR(nav.dDist, SegmentLength(P(2.5, 0), P(3, 0)), 1e-6);
  EXPECT_DOUBLE_EQ(nav.dTurnAngle, 90.0);  // left onto C
  EXPECT_EQ(nav.idNext.dw[0], 3u);
  EXPECT_STREQ(nav.szNextName, "C");
  EXPECT_EQ(nav.wNextPtNum, 3);
  EXPECT_EQ(nav.dReserved1, 7.5);
  // The cursor rests on the following edge: NextGuid continues with C.
  PathGuid g;
  ASSERT_EQ(t.path.NextGuid(g), 1);
  EXPECT_EQ(g.idEdge.dw[0], 3u);
  // On C, a right turn onto the unnamed D; the inside of segment 1 of C.
  EXPECT_EQ(t.path.TestPoint(P(3.01, 1.5), 30, nav, -1, nullptr), 1);
  EXPECT_DOUBLE_EQ(nav.dTurnAngle, 270.0);
  EXPECT_STREQ(nav.szNextName, "");
  ExpectPoint(nav.ptBefore, P(3, 1));
  ExpectPoint(nav.ptAfter, P(3, 2));
  EXPECT_NEAR(nav.dDist, SegmentLength(nav.ptClose, P(3, 2)), 1e-6);
}

TEST(PositionMatch, ExactNodeMovesToTheFollowingEdge) {
  TurnPath t;
  NavGuid nav;
  EXPECT_EQ(t.path.TestPoint(P(2, 0), 30, nav, -1, nullptr), 1);
  EXPECT_STREQ(nav.szName, "B");
  ExpectPoint(nav.ptBefore, P(1, 0));  // A's second-to-last point
  ExpectPoint(nav.ptClose, P(2, 0));
  ExpectPoint(nav.ptAfter, P(3, 0));
  EXPECT_EQ(nav.dDist, LineLength(2, t.b.data()));
  EXPECT_STREQ(nav.szNextName, "C");
  // An inner vertex: the rest of the edge from it.
  EXPECT_EQ(t.path.TestPoint(P(3, 1), 30, nav, 90.0, nullptr), 1);
  EXPECT_STREQ(nav.szName, "C");
  ExpectPoint(nav.ptBefore, P(3, 0));
  EXPECT_EQ(nav.dDist, LineLength(2, t.c.data() + 1));
  // The node before the last edge: on the last edge, no turn, not arrived
  // although D is shorter than 20 m.
  EXPECT_EQ(t.path.TestPoint(P(3, 2), 30, nav, -1, nullptr), 1);
  EXPECT_EQ(nav.idEdge.dw[0], 4u);
  EXPECT_EQ(nav.dTurnAngle, -1.0);
  EXPECT_EQ(t.path.Cursor(), nullptr);
  // The first point of the path: nothing behind it.
  EXPECT_EQ(t.path.TestPoint(P(0, 0), 30, nav, -1, nullptr), 1);
  ExpectPoint(nav.ptBefore, vx::kMissingPoint);
  ExpectPoint(nav.ptAfter, P(1, 0));
}

TEST(PositionMatch, ArrivalOnTheLastEdge) {
  MatchPath path;
  const tagLonLat end = {13.0, 52.001};
  ASSERT_EQ(path.Add({{13.0, 51.999}, {13.0, 52.0}}, "A"), 1);
  ASSERT_EQ(path.Add({{13.0, 52.0}, end}, "Z"), 1);
  NavGuid nav;
  nav.nNextCode = 77;
  // Degrees of latitude per metre here, to place fixes by distance.
  double dLon = 0, dLat = 0;
  GetUnitDegree(end, dLon, dLat);
  const tagLonLat at15 = {13.00001, end.lat - 15 * dLat};
  EXPECT_EQ(path.TestPoint(at15, 30, nav, -1, nullptr), 2);
  EXPECT_STREQ(nav.szName, "Z");
  EXPECT_EQ(nav.dDist, SegmentLength(at15, end));  // from the fix, not the match
  EXPECT_EQ(nav.dTurnAngle, -1.0);
  ExpectPoint(nav.ptEnd, end);
  ExpectPoint(nav.ptBefore, {13.0, 52.0});
  ExpectPoint(nav.ptAfter, end);
  EXPECT_EQ(nav.nNextCode, 77);  // untouched on the last edge
  EXPECT_EQ(path.Cursor(), nullptr);
  EXPECT_EQ(path.TestPoint({13.0, end.lat - 19.99 * dLat}, 30, nav, -1, nullptr), 2);
  EXPECT_EQ(path.TestPoint({13.0, end.lat - 20.01 * dLat}, 30, nav, -1, nullptr), 1);
  EXPECT_EQ(path.TestPoint({13.0, end.lat - 25 * dLat}, 30, nav, -1, nullptr), 1);
  // Beyond the end: matched to the last point, index count - 1.
  EXPECT_EQ(path.TestPoint({13.0, end.lat + 5 * dLat}, 30, nav, -1, nullptr), 2);
  ExpectPoint(nav.ptBefore, end);
  ExpectPoint(nav.ptAfter, end);
  // A path of one edge: its first point has the first point behind it.
  MatchPath one;
  ASSERT_EQ(one.Add({P(0, 0), P(5, 0)}), 1);
  EXPECT_EQ(one.TestPoint(P(0, 0), 30, nav, -1, nullptr), 1);
  ExpectPoint(nav.ptBefore, P(0, 0));
  ExpectPoint(nav.ptAfter, P(5, 0));
}

TEST(PositionMatch, GuidStartsTheScanAtItsEdge) {
  MatchPath path;
  ASSERT_EQ(path.Add({P(0, 0), P(2, 0)}, "Out", Id(10)), 1);
  ASSERT_EQ(path.Add({P(2, 0), P(2, 0.2)}, "Turn", Id(11)), 1);
  ASSERT_EQ(path.Add({P(2, 0.2), P(0, 0.2)}, "Back", Id(12)), 1);
  ASSERT_EQ(path.Add({P(0, 0.2), P(0, 1)}, "Up", Id(13)), 1);
  NavGuid nav;
  PathGuid g;
  g.idEdge = Id(12);
  EXPECT_EQ(path.TestPoint(P(1, 0.05), 30, nav, -1, nullptr), 1);
  EXPECT_STREQ(nav.szName, "Out");
  EXPECT_EQ(path.TestPoint(P(1, 0.05), 30, nav, -1, &g), 1);
  EXPECT_STREQ(nav.szName, "Back");
  g.idEdge = Id(99);  // on no edge: as without a guid
  EXPECT_EQ(path.TestPoint(P(1, 0.05), 30, nav, -1, &g), 1);
  EXPECT_STREQ(nav.szName, "Out");
  // The record being filled may itself name the start edge.
  nav.idEdge = Id(12);
  EXPECT_EQ(path.TestPoint(P(1, 0.05), 30, nav, -1, &nav), 1);
  EXPECT_STREQ(nav.szName, "Back");
}

TEST(PositionMatch, HeadingsBeyondSixteenBitsMeanNoHeading) {
  MatchPath path;
  ASSERT_EQ(path.Add({P(0, 0), P(4, 0)}, "East"), 1);
  ASSERT_EQ(path.Add({P(4, 0), P(4, 0.4)}, "North"), 1);
  ASSERT_EQ(path.Add({P(4, 0.4), P(0, 0.4)}, "West"), 1);
  NavGuid nav;
  const tagLonLat pt = P(1, 0.3);  // nearest to West
  ASSERT_EQ(path.TestPoint(pt, 100, nav, 0.0, nullptr), 1);
  EXPECT_STREQ(nav.szName, "East");
  for (const double dAngle : {-1.0, 1e9, 6553.6, kInf, -kInf, kNaN}) {
    ASSERT_EQ(path.TestPoint(pt, 100, nav, dAngle, nullptr), 1) << dAngle;
    EXPECT_STREQ(nav.szName, "West") << dAngle;
  }
  ASSERT_EQ(path.TestPoint(pt, 100, nav, 6553.45, nullptr), 1);  // 65534: agrees with all
  EXPECT_STREQ(nav.szName, "West");
}

TEST(PositionMatch, LongNamesAreCutTo300Characters) {
  MatchPath path;
  const std::string sLong(400, 'n');
  const std::string sNext = std::string(350, 'm');
  ASSERT_EQ(path.Add({P(0, 0), P(1, 0)}, sLong.c_str()), 1);
  ASSERT_EQ(path.Add({P(1, 0), P(2, 0)}, sNext.c_str()), 1);
  ASSERT_EQ(path.Add({P(2, 0), P(3, 0)}), 1);
  NavGuid nav;
  std::memset(&nav, 0x5A, sizeof nav);
  nav.nCode = 0x1234;
  ASSERT_EQ(path.TestPoint(P(0.5, 0), 30, nav, -1, nullptr), 1);
  EXPECT_EQ(std::string(nav.szName), sLong.substr(0, 300));
  EXPECT_EQ(std::string(nav.szNextName), sNext.substr(0, 300));
  ASSERT_EQ(path.TestPoint(P(1.5, 0), 30, nav, -1, nullptr), 1);
  EXPECT_EQ(std::string(nav.szName), sNext.substr(0, 300));
}

TEST(PositionMatch, NonFinitePositionsAreOffThePath) {
  TurnPath t;
  NavGuid nav;
  const tagLonLat bad[] = {{kNaN, 52.0},  {13.0, kNaN}, {kInf, 52.0},
                           {13.0, -kInf}, {kNaN, kNaN}, {-kInf, kInf}};
  for (const tagLonLat& pt : bad) {
    EXPECT_EQ(t.path.TestPoint(pt, 30, nav, 45.0, nullptr), 3);
    ExpectPoint(nav.ptClose, P(0, 0));
    EXPECT_EQ(t.path.Cursor(), nullptr);
    EXPECT_EQ(Find(t.path, pt, kInf, -1).pEdge, t.path.Head());
  }
  // An infinite tolerance reaches every edge and still matches finite fixes.
  EXPECT_EQ(t.path.TestPoint(P(2.5, 0.01), kInf, nav, -1, nullptr), 1);
  EXPECT_STREQ(nav.szName, "B");
}

namespace {

// A random path on a coarse grid so that ties and exact vertex matches occur;
// some edges run back over earlier ones or jump, some have many points.
void RandomPath(MatchPath& path, std::mt19937& rng, int nEdges) {
  std::uniform_int_distribution<int> step(-3, 3), count(2, 6), jump(0, 9), longCount(30, 80);
  int x = 0, y = 0;
  std::vector<tagLonLat> pts;
  for (int e = 0; e < nEdges; ++e) {
    if (jump(rng) == 0) {
      x += step(rng) * 5;
      y += step(rng) * 5;
    }
    pts.assign(1, P(x * 0.5, y * 0.5));
    const int n = jump(rng) == 1 ? longCount(rng) : count(rng);  // some span several chunks
    for (int i = 1; i < n; ++i) {
      x += step(rng);
      y += step(rng);
      pts.push_back(P(x * 0.5, y * 0.5));
    }
    ASSERT_EQ(path.Add(pts, "", Id(static_cast<std::uint32_t>(e % 50))), 1);
  }
}

void CompareOnRandomFixes(const MatchPath& path, std::mt19937& rng, int nFixes) {
  std::vector<const CPath::NavEdge*> edges;
  for (const CPath::NavEdge* e = path.Head(); e; e = e->pNext) edges.push_back(e);
  std::uniform_int_distribution<int> grid(-60, 60), pick(0, static_cast<int>(edges.size()) - 1),
      angle(-90, 400), kind(0, 3);
  std::uniform_real_distribution<double> off(-0.3, 0.3), tol(1.0, 400.0);
  for (int f = 0; f < nFixes; ++f) {
    tagLonLat pt;
    if (kind(rng) == 0) {  // on the grid: ties and vertices
      pt = P(grid(rng) * 0.25, grid(rng) * 0.25);
    } else {  // near a random vertex
      const CPath::NavEdge* e = edges[pick(rng)];
      pt = e->pts[0];
      pt.lon += off(rng) * kStep;
      pt.lat += off(rng) * kStep;
    }
    const double dAngle = angle(rng);
    const double dTol = tol(rng);
    const CPath::NavEdge* pStart = kind(rng) == 0 ? edges[pick(rng)] : nullptr;
    const Match a = Find(path, pt, dTol, dAngle, pStart);
    const Match b = PlainScan(path.Head(), pt, dTol, dAngle, pStart);
    ExpectSame(a, b);
    if (a.pEdge != b.pEdge || a.w != b.w) {
      ADD_FAILURE() << "fix " << f << " at " << pt.lon << ", " << pt.lat << " tol " << dTol;
      return;
    }
  }
}

}  // namespace

TEST(MatchIndex, SameResultsAsAPlainScanOfTheList) {
  std::mt19937 rng(12345);
  for (const int nEdges : {1, 15, 16, 17, 255, 257, 700, 4200}) {
    MatchPath path;
    RandomPath(path, rng, nEdges);
    CompareOnRandomFixes(path, rng, 400);
  }
}

TEST(MatchIndex, FollowsCopyClearAndListSurgery) {
  std::mt19937 rng(99);
  MatchPath path;
  RandomPath(path, rng, 300);
  MatchPath copy(path);
  CompareOnRandomFixes(copy, rng, 300);
  MatchPath assigned;
  RandomPath(assigned, rng, 40);
  assigned = path;
  CompareOnRandomFixes(assigned, rng, 300);
  // Edges removed at the head, then more appended.
  for (int i = 0; i < 20; ++i) path.DropFirstEdge();
  CompareOnRandomFixes(path, rng, 300);
  RandomPath(path, rng, 30);
  CompareOnRandomFixes(path, rng, 300);
  path.BeginAddEdge();
  RandomPath(path, rng, 100);
  CompareOnRandomFixes(path, rng, 300);
  // The first edge with a given identifier starts the scan.
  NavGuid nav;
  PathGuid g;
  g.idEdge = Id(7);
  const CPath::NavEdge* pFirst7 = path.Head();
  while (pFirst7->id.dw[0] != 7) pFirst7 = pFirst7->pNext;
  const tagLonLat pt = path.Head()->pts[0];
  EXPECT_EQ(Find(path, pt, 50, -1, pFirst7).pEdge,
            PlainScan(path.Head(), pt, 50, -1, pFirst7).pEdge);
  ASSERT_NE(path.TestPoint(pt, 1e7, nav, -1, &g), 0);
  const Match m = PlainScan(path.Head(), pt, 1e7, -1, pFirst7);
  EXPECT_EQ(nav.ptClose.lon, m.pt.lon);
  EXPECT_EQ(nav.ptClose.lat, m.pt.lat);
}

TEST(MatchIndex, MatchingAllocatesNothing) {
  std::mt19937 rng(5);
  MatchPath path;
  RandomPath(path, rng, 600);
  NavGuid nav;
  PathGuid g;
  g.idEdge = Id(3);
  path.SetAhead(2000, 300);
  const long nBefore = g_nAllocations;
  for (const CPath::NavEdge* e = path.Head(); e; e = e->pNext) {
    const tagLonLat pt = e->pts[1];
    path.TestPoint(pt, 30, nav, 45.0, &g);
    path.TestPoint(pt, 30, nav, -1, nullptr);
    path.FindNode(pt, 90.0);
    Find(path, pt, 50, 10.0, e);
  }
  EXPECT_EQ(g_nAllocations - nBefore, 0);
  // Building does allocate: the counter sees it.
  RandomPath(path, rng, 100);
  EXPECT_GT(g_nAllocations - nBefore, 0);
}
