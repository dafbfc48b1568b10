// Matching a position fix to the path: on the path, off it or arrived, with
// the guidance the application needs at that moment.
#include "CPath/CPath.h"
#include "CPath/MatchIndexInternal.h"
#include "CPath/PathInternal.h"
#include "interfaces/VroGeo.h"

namespace {

// Straight-line metres from the path's end within which the vehicle has arrived.
constexpr double kArrivalDist = 20.0;

// The third notion of one point, beside kSamePointDegrees and the matching's
// vertex snap: equal to the last bit (0 m), which is what a match snapped
// onto a vertex is.
bool SamePosition(const tagLonLat& a, const tagLonLat& b) {
  return a.lon == b.lon && a.lat == b.lat;
}

}  // namespace

// Over the size limits: the match rules in their documented order (reset, match, last edge, move
// across a node, fill); to be split along those steps.
// NOLINTNEXTLINE(readability-function-size,readability-function-cognitive-complexity)
int CPath::TestPoint(const tagLonLat& pt, double dTol, NavGuid& nav, double dAngle,
                     const PathGuid* const pGuid) const {
  // The start edge's id is taken before nav is reset: the application may
  // hand in the very record it has us fill.
  const VRO_FEATURE_ID idStart = pGuid != nullptr ? pGuid->idEdge : vx::kNullFeatureId;
  pCursor = nullptr;
  nav.ptAfter = nav.ptBefore = nav.ptClose = nav.ptEnd = vx::kMissingPoint;
  nav.idEdge = nav.idNext = vx::kNullFeatureId;
  nav.szName[0] = '\0';
  nav.szNextName[0] = '\0';
  nav.wPtNum = 0;
  nav.pPts = nullptr;
  nav.wNextPtNum = 0;
  nav.pNextPts = nullptr;

  const NavEdge* pStart = nullptr;
  if (pGuid != nullptr) {
    if (pMatchIndex != nullptr && pMatchIndex->Spans(pHead, pTail)) {
      const std::size_t nPos = pMatchIndex->FindId(idStart);
      if (nPos != vx::MatchIndex::npos) {
        pStart = pMatchIndex->Edge(nPos);
      }
    } else {
      for (const NavEdge* pEdge = pHead; pEdge != nullptr; pEdge = pEdge->pNext) {
        if (vx::IsSameFeatureId(pEdge->id, idStart)) {
          pStart = pEdge;
          break;
        }
      }
    }
  }

  unsigned short w = 0;
  tagLonLat ptClose = vx::kMissingPoint;
  const NavEdge* pEdge = TestPoint(pt, dTol, w, ptClose, dAngle, pStart);
  if (pEdge == nullptr) {
    return 0;
  }
  nav.ptClose = ptClose;
  if (!(SegmentLength(ptClose, pt) < dTol)) {
    return 3;
  }

  if (pEdge->pNext == nullptr) {
    vx::FillEdgeFields(*pEdge, nav);
    const tagLonLat& ptLast = pEdge->pts[pEdge->wPtNum - 1];
    nav.dDist = SegmentLength(pt, ptLast);
    nav.dTurnAngle = -1.0;
    nav.ptBefore = pEdge->pts[w];
    nav.ptAfter = w + 1 < pEdge->wPtNum ? pEdge->pts[w + 1] : pEdge->pts[w];
    return nav.dDist <= kArrivalDist ? 2 : 1;
  }

  // A match on the matched edge's very last point lies on the next edge.
  if (w == pEdge->wPtNum - 1 && SamePosition(ptClose, pEdge->pts[w])) {
    pEdge = pEdge->pNext;
    w = 0;
  }
  const unsigned short wCount = pEdge->wPtNum;
  vx::FillEdgeFields(*pEdge, nav);
  if (SamePosition(ptClose, pEdge->pts[w])) {
    nav.dDist = LineLength(static_cast<unsigned short>(wCount - w), pEdge->pts + w);
    if (w > 0) {
      nav.ptBefore = pEdge->pts[w - 1];
    } else if (pEdge->pPrev != nullptr) {
      nav.ptBefore = pEdge->pPrev->pts[pEdge->pPrev->wPtNum - 2];
    }
  } else {
    nav.dDist = LineLength(static_cast<unsigned short>(wCount - w - 1), pEdge->pts + w + 1) +
                SegmentLength(ptClose, pEdge->pts[w + 1]);
    nav.ptBefore = pEdge->pts[w];
  }
  nav.ptAfter = pEdge->pts[w + 1];
  nav.szNextName[0] = '\0';
  nav.nNextCode = 0;

  const NavEdge* pNext = pEdge->pNext;
  if (pNext == nullptr) {
    nav.dTurnAngle = -1.0;
    return 1;
  }
  vx::FillNextFields(*pNext, nav);
  nav.dTurnAngle = vx::TurnAngle(*pEdge, *pNext);
  pCursor = const_cast<NavEdge*>(pNext);
  return 1;
}
