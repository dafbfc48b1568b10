// Placing a position on the path: the nearest segment, preferring segments
// within 45 degrees of the direction of travel; the rejoin search ahead of a
// position; and the coincidence test for two points.
#include <cstdint>
#include <cstdlib>

#include "CPath/CPath.h"
#include "CPath/MatchIndexInternal.h"
#include "CPath/PathInternal.h"
#include "geometry/Projection.h"
#include "interfaces/VroGeo.h"

namespace {

// Half-width of the direction window in tenths of a degree.
constexpr int kDirTolerance = 450;
// A projected point closer than this to a vertex on both coordinates is taken
// to be the vertex: 1e-5 degrees is 1.1 m along a meridian and at most 1.1 m
// along a parallel (0.72 m at 50 degrees of latitude). Wider than
// kSamePointDegrees, so that a match near a vertex is the vertex itself.
constexpr double kSnapDegrees = 1e-5;
// Start value of the squared distances.
constexpr double kFarAway = 1e21;

// The running state of one scan: the best direction-compatible candidate and
// the best candidate of any direction.
class SegmentScan {
 public:
  SegmentScan(const tagLonLat& pt, unsigned short wHeading) : m_wHeading(wHeading) {
    m_point.m_d[0] = pt.lon;
    m_point.m_d[1] = pt.lat;
  }

  // Examines every segment of an edge whose box passed the box test. The
  // outcome is that of taking the segments one by one in order: the best
  // compatible candidate is the first segment of least distance among the
  // compatible ones, the best of any direction the first of least distance
  // overall. Distances are taken a chunk of segments at a time, and the
  // direction is tested only for the nearest segments of a chunk that could
  // still become the result, nearest first, until one agrees.
  // Over the complexity limit: the chunked scan keeps its masks and early exits together; to be
  // split with the index walk that calls it.
  // NOLINTNEXTLINE(readability-function-cognitive-complexity)
  void Examine(const CPath::NavEdge& e) {
    const unsigned nSegments = e.wPtNum > 0 ? e.wPtNum - 1u : 0u;
    for (unsigned nBase = 0; nBase < nSegments; nBase += kChunk) {
      const unsigned n = nSegments - nBase < kChunk ? nSegments - nBase : kChunk;
      double d[kChunk];
      CPoint<double, 2> temp[kChunk];
      unsigned nNearest = kChunk;
      double dNearest = m_dVeryCloseDist;
      CSegment<double, 2> segment;
      for (unsigned k = 0; k < n; ++k) {
        const tagLonLat& p0 = e.pts[nBase + k];
        const tagLonLat& p1 = e.pts[nBase + k + 1];
        segment.m_ptStart.m_d[0] = p0.lon;
        segment.m_ptStart.m_d[1] = p0.lat;
        segment.m_ptEnd.m_d[0] = p1.lon;
        segment.m_ptEnd.m_d[1] = p1.lat;
        d[k] = DistPointToSegment(m_point, segment, &temp[k], 0);
        if (d[k] < dNearest) {
          dNearest = d[k];
          nNearest = k;
        }
      }
      if (nNearest < kChunk) {
        m_dVeryCloseDist = dNearest;
        m_pVeryClose = &e;
        Snap(e, nBase + nNearest, temp[nNearest], m_ptVeryClose, m_wVeryClosePtInx);
      }
      std::uint32_t nTried = 0;
      for (;;) {
        unsigned nBest = kChunk;
        double dBest = m_dCloseDist;
        for (unsigned k = 0; k < n; ++k) {
          if (d[k] < dBest && (nTried & (std::uint32_t{1} << k)) == 0) {
            dBest = d[k];
            nBest = k;
          }
        }
        if (nBest == kChunk) {
          break;
        }
        tagLonLat closet;
        unsigned short w = 0;
        Snap(e, nBase + nBest, temp[nBest], closet, w);
        if (Compatible(e, w)) {
          m_dCloseDist = dBest;
          m_pClose = &e;
          m_ptClose = closet;
          m_wClosePtInx = w;
          break;
        }
        nTried |= std::uint32_t{1} << nBest;
      }
    }
  }

  // The result: the compatible candidate, else the nearest of any direction,
  // else the first edge at its first point.
  CPath::NavEdge* Result(const CPath::NavEdge* pHead, unsigned short& wPtInx,
                         tagLonLat& ptClose) const {
    if (m_pClose != nullptr) {
      wPtInx = m_wClosePtInx;
      ptClose = m_ptClose;
      return const_cast<CPath::NavEdge*>(m_pClose);
    }
    if (m_pVeryClose != nullptr) {
      wPtInx = m_wVeryClosePtInx;
      ptClose = m_ptVeryClose;
      return const_cast<CPath::NavEdge*>(m_pVeryClose);
    }
    wPtInx = 0;
    ptClose = pHead->pts[0];
    return const_cast<CPath::NavEdge*>(pHead);
  }

 private:
  // Segments whose distances are taken together; a bit each in a mask.
  static constexpr unsigned kChunk = 32;

  // The candidate of segment i with nearest point temp: snapped to the
  // segment's start point, else to its end point, when within kSnapDegrees.
  static void Snap(const CPath::NavEdge& e, unsigned i, const CPoint<double, 2>& temp,
                   tagLonLat& closet, unsigned short& w) {
    closet = {temp.m_d[0], temp.m_d[1]};
    w = static_cast<unsigned short>(i);
    if (Near(closet, e.pts[i])) {
      closet = e.pts[i];
    } else if (Near(closet, e.pts[i + 1])) {
      closet = e.pts[i + 1];
      w = static_cast<unsigned short>(i + 1);
    }
  }

  static bool Near(const tagLonLat& a, const tagLonLat& b) {
    return std::abs(a.lon - b.lon) < kSnapDegrees && std::abs(a.lat - b.lat) < kSnapDegrees;
  }

  // Whether the segment that starts at vertex w (at the last vertex: the last
  // segment) runs within the direction window around the heading.
  bool Compatible(const CPath::NavEdge& e, unsigned short w) const {
    if (m_wHeading == vx::kNoHeading) {
      return true;
    }
    const unsigned short wBearing = w + 1 < e.wPtNum ? vx::Bearing(e.pts[w], e.pts[w + 1])
                                                     : vx::Bearing(e.pts[w - 1], e.pts[w]);
    const int nDiff = std::abs(static_cast<int>(wBearing) - static_cast<int>(m_wHeading));
    return nDiff < kDirTolerance || 3600 - nDiff < kDirTolerance;
  }

  CPoint<double, 2> m_point;
  unsigned short m_wHeading;
  double m_dCloseDist = kFarAway;
  double m_dVeryCloseDist = kFarAway;
  const CPath::NavEdge* m_pClose = nullptr;
  tagLonLat m_ptClose = {0.0, 0.0};
  unsigned short m_wClosePtInx = 0;
  const CPath::NavEdge* m_pVeryClose = nullptr;
  tagLonLat m_ptVeryClose = {0.0, 0.0};
  unsigned short m_wVeryClosePtInx = 0;
};

}  // namespace

namespace vx {

unsigned short HeadingTenths(double dAngle) {
  if (!(dAngle >= 0.0)) {
    return kNoHeading;
  }
  const double dTenths = dAngle * 3600.0 / 360.0;
  if (!(dTenths < 65536.0)) {
    return kNoHeading;
  }
  return static_cast<unsigned short>(dTenths);
}

int IsSamePoint(const tagLonLat& a, const tagLonLat& b) {
  double d = a.lon - b.lon;
  if (d < 0) {
    d = -d;
  }
  if (!(d < kSamePointDegrees)) {
    return 0;
  }
  d = a.lat - b.lat;
  if (d < 0) {
    d = -d;
  }
  return d < kSamePointDegrees ? 1 : 0;
}

}  // namespace vx

CPath::NavEdge* CPath::TestPoint(const tagLonLat& pt, double dTol, unsigned short& wPtInx,
                                 tagLonLat& ptClose, double dAngle,
                                 const NavEdge* const pStart) const {
  if (pHead == nullptr || !(dTol > 0.0)) {
    return nullptr;
  }
  const tagLonLat ptPos = pt;
  double dLon = 0.0;
  double dLat = 0.0;
  GetUnitDegree(ptPos, dLon, dLat);
  dLon *= dTol;
  dLat *= dTol;
  const tagLonLat lt = {ptPos.lon - dLon, ptPos.lat - dLat};
  const tagLonLat rb = {ptPos.lon + dLon, ptPos.lat + dLat};
  SegmentScan scan(ptPos, vx::HeadingTenths(dAngle));
  const NavEdge* pFirst = pStart != nullptr ? pStart : pHead;
  std::size_t nStart = vx::MatchIndex::npos;
  if (pMatchIndex != nullptr && pMatchIndex->Spans(pHead, pTail)) {
    nStart = pStart == nullptr ? 0 : pMatchIndex->FindEdge(pStart);
  }
  if (nStart != vx::MatchIndex::npos) {
    pMatchIndex->ForEach(nStart, lt, rb, [&scan](const NavEdge& e) { scan.Examine(e); });
  } else {
    for (const NavEdge* pEdge = pFirst; pEdge != nullptr; pEdge = pEdge->pNext) {
      const vx::MatchBox box = {pEdge->dMinLon, pEdge->dMinLat, pEdge->dMaxLon, pEdge->dMaxLat};
      if (vx::BoxReaches(box, lt, rb)) {
        scan.Examine(*pEdge);
      }
    }
  }
  return scan.Result(pHead, wPtInx, ptClose);
}

double vx::LengthToEdgeEnd(const CPath::NavEdge& e, unsigned short wPtInx,
                           const tagLonLat& ptBase) {
  const unsigned short n = e.wPtNum;
  const unsigned short w = wPtInx < n ? wPtInx : static_cast<unsigned short>(n - 1);
  if (w + 1 >= n || IsSamePoint(ptBase, e.pts[w])) {
    return LineLength(static_cast<unsigned short>(n - w), e.pts + w);
  }
  return LineLength(static_cast<unsigned short>(n - w - 1), e.pts + w + 1) +
         SegmentLength(ptBase, e.pts[w + 1]);
}

CPath::NavEdge* CPath::FindNode(const tagLonLat& pt, double dAngle) const {
  unsigned short wPtInx = 0;
  tagLonLat ptBase = {0.0, 0.0};
  const NavEdge* pEdge = TestPoint(pt, dMatchDist, wPtInx, ptBase, dAngle, nullptr);
  if (pEdge == nullptr) {
    return nullptr;
  }
  if (!(SegmentLength(pt, ptBase) < dMatchDist)) {
    return nullptr;
  }
  double dLen = vx::LengthToEdgeEnd(*pEdge, wPtInx, ptBase);
  NavEdge* pNode = pEdge->pNext;
  while (dAheadDist > dLen && pNode != nullptr) {
    dLen += pNode->dEdgeLen;
    pNode = pNode->pNext;
  }
  return pNode;
}
