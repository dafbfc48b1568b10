// Placing a position on the path: the nearest segment, preferring segments
// within 45 degrees of the direction of travel; the rejoin search ahead of a
// position; and the coincidence test for two points.
#include <cstdlib>

#include "CPath/CPath.h"
#include "CPath/MatchIndex.h"
#include "CPath/PathInternal.h"
#include "geometry/Projection.h"
#include "interfaces/VroGeo.h"

namespace {

// Half-width of the direction window in tenths of a degree.
constexpr int kDirTolerance = 450;
// A projected point this close to a vertex on both coordinates is the vertex.
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

  // Examines every segment of an edge whose box passed the box test.
  void Examine(const CPath::NavEdge& e) {
    const unsigned short wCount = e.wPtNum;
    CSegment<double, 2> segment;
    CPoint<double, 2> temp;
    for (unsigned short i = 0; i + 1 < wCount; ++i) {
      const tagLonLat& p0 = e.pts[i];
      const tagLonLat& p1 = e.pts[i + 1];
      segment.m_ptStart.m_d[0] = p0.lon;
      segment.m_ptStart.m_d[1] = p0.lat;
      segment.m_ptEnd.m_d[0] = p1.lon;
      segment.m_ptEnd.m_d[1] = p1.lat;
      const double d = DistPointToSegment(m_point, segment, &temp, 0);
      if (!(d < m_dCloseDist)) {
        continue;
      }
      tagLonLat closet = {temp.m_d[0], temp.m_d[1]};
      unsigned short w = i;
      if (Near(closet, p0)) {
        closet = p0;
      } else if (Near(closet, p1)) {
        closet = p1;
        w = static_cast<unsigned short>(i + 1);
      }
      if (Compatible(e, w)) {
        m_dCloseDist = d;
        m_pClose = &e;
        m_ptClose = closet;
        m_wClosePtInx = w;
      }
      if (d < m_dVeryCloseDist) {
        m_dVeryCloseDist = d;
        m_pVeryClose = &e;
        m_ptVeryClose = closet;
        m_wVeryClosePtInx = w;
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
  if (!(d < 3e-6)) {
    return 0;
  }
  d = a.lat - b.lat;
  if (d < 0) {
    d = -d;
  }
  return d < 3e-6 ? 1 : 0;
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
  const unsigned short wCount = pEdge->wPtNum;
  double dLen = 0.0;
  if (vx::IsSamePoint(ptBase, pEdge->pts[wPtInx])) {
    dLen = LineLength(static_cast<unsigned short>(wCount - wPtInx), pEdge->pts + wPtInx);
  } else {
    dLen = LineLength(static_cast<unsigned short>(wCount - wPtInx - 1), pEdge->pts + wPtInx + 1) +
           SegmentLength(ptBase, pEdge->pts[wPtInx + 1]);
  }
  NavEdge* pNode = pEdge->pNext;
  while (dAheadDist > dLen && pNode != nullptr) {
    dLen += pNode->dEdgeLen;
    pNode = pNode->pNext;
  }
  return pNode;
}
