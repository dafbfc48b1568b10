// Rebuilding the path from a position through the route engine: to a rejoin
// edge ahead or to the destination (QuickRoute, QuickRoute2), and around the
// edge a given distance ahead (BlockRoute).
#include <cstddef>

#include "CPath/CPath.h"
#include "CPath/PathInternal.h"
#include "interfaces/VroGeo.h"
#include "interfaces/VroRoute.h"
#include "interfaces/VroTexts.h"

namespace {

// How close a position must lie to the path to rejoin it, for QuickRoute.
constexpr double kQuickMatchDist = 2000.0;
// The look-ahead to the rejoin edge when the caller gives none.
constexpr double kDefaultAhead = 50000.0;
// How far beyond the avoided edge BlockRoute rejoins the path.
constexpr double kRejoinBeyondBlock = 25000.0;
// Most points an edge can hold.
constexpr int kMaxEdgePoints = 0xFFFF;

// Appends every edge of the engine's found route to path, in order. An edge
// that AddEdge refuses, or that has more points than an edge holds, is
// skipped. The buffers are one byte longer than the engine is told and are
// terminated after each call, so a text the engine leaves unterminated ends
// at its buffer's size.
void AppendRouteEdges(CPath& path, VRO_ROUTE* hRoute) {
  using vro::kAttrSize, vro::kCodeSize, vro::kNameSize, vro::kStr1Size;
  char szCode[kCodeSize + 1] = {};
  char szStr1[kStr1Size + 1] = {};
  char szStr2[kNameSize + 1] = {};
  char szRoadAttr[kAttrSize + 1] = {};
  for (;;) {
    VRO_FEATURE_ID id = vx::kNullFeatureId;
    double dEdgeLen = 0.0;
    tagLonLat* pPts = nullptr;
    const int n =
        VroRouteRetrieveNextEdgeEx(hRoute, szCode, szStr1, szStr2, szRoadAttr, id, dEdgeLen, pPts);
    if (n <= 0) {
      return;
    }
    szCode[kCodeSize] = szStr1[kStr1Size] = szStr2[kNameSize] = szRoadAttr[kAttrSize] = '\0';
    if (n <= kMaxEdgePoints) {
      path.AddEdge(szCode, szStr1, szStr2, szRoadAttr, static_cast<unsigned short>(n), pPts, id,
                   dEdgeLen);
    }
  }
}

}  // namespace

int CPath::RerouteBefore(VRO_ROUTE* hRoute, const tagLonLat& pt, NavEdge* pNode, double dAngle,
                         double dRouteArg1, const char* szRouteArg, double dRouteArg2) {
  // The target is read from the old path before any edge is released.
  const NavEdge* pTarget = pNode != nullptr ? pNode : pTail;
  const tagLonLat& ptTarget = pNode != nullptr ? pNode->pts[0] : pTail->pts[pTail->wPtNum - 1];
  if (VroRouteFindPath(hRoute, pt, ptTarget, dAngle, dRouteArg1, szRouteArg, dRouteArg2,
                       pTarget->szName) < 0) {
    return 0;
  }
  if (VroRouteRetrieveStart(hRoute) == 0) {
    return 0;
  }
  if (pNode == nullptr) {
    Clear();
    AppendRouteEdges(*this, hRoute);
  } else {
    NavEdge* pKeptTail = pTail;
    while (pHead != pNode) {
      NavEdge* pEdge = pHead;
      pHead = pEdge->pNext;
      if (pCursor == pEdge) {
        pCursor = nullptr;
      }
      DeleteNavEdge(pEdge);
    }
    pHead = pTail = nullptr;
    AppendRouteEdges(*this, hRoute);
    // Join the kept part behind the new edges; with none, it is the path.
    pNode->pPrev = pTail;
    if (pTail != nullptr) {
      pTail->pNext = pNode;
    } else {
      pHead = pNode;
    }
    pTail = pKeptTail;
  }
  // The edge list was relinked: the matching index follows it.
  RebuildMatchIndex();
  return 1;
}

int CPath::QuickRoute(VRO_ROUTE* hRoute, const tagLonLat& pt, double dAngle, double dRouteArg1,
                      const char* szRouteArg, double dRouteArg2) {
  return QuickRoute2(hRoute, pt, dAngle, dRouteArg1, szRouteArg, dRouteArg2, kDefaultAhead);
}

int CPath::QuickRoute2(VRO_ROUTE* hRoute, const tagLonLat& pt, double dAngle, double dRouteArg1,
                       const char* szRouteArg, double dRouteArg2, double dAhead) {
  if (pHead == nullptr || pTail == nullptr) {
    return 0;
  }
  dMatchDist = kQuickMatchDist;
  dAheadDist = dAhead > 0 ? dAhead : kDefaultAhead;
  NavEdge* pNode = FindNode(pt, dAngle);
  if (RerouteBefore(hRoute, pt, pNode, dAngle, dRouteArg1, szRouteArg, dRouteArg2) == 0) {
    return 0;
  }
  VroRouteReset(hRoute);
  return 1;
}

int CPath::BlockRoute(VRO_ROUTE* hRoute, double dBlockDist, double dTol, const tagLonLat& pt,
                      double dAngle, double dRouteArg1, const char* szRouteArg, double dRouteArg2) {
  unsigned short wPtInx = 0;
  tagLonLat ptBase = {0.0, 0.0};
  NavEdge* pEdge = TestPoint(pt, dTol, wPtInx, ptBase, dAngle, nullptr);
  if (pEdge == nullptr) {
    return 0;
  }
  if (!(SegmentLength(pt, ptBase) < dTol)) {
    return 0;
  }
  // Walk ahead to the edge in which the point dBlockDist metres on lies;
  // dist is the length from the matched point to that edge's end.
  double dist = vx::LengthToEdgeEnd(*pEdge, wPtInx, ptBase);
  while (dBlockDist > dist) {
    pEdge = pEdge->pNext;
    if (pEdge == nullptr) {
      return 0;
    }
    dist += pEdge->dEdgeLen;
  }
  VroRouteRemoveAllBlockEdge(hRoute);
  VroRouteAddBlockEdge(hRoute, pEdge->id);
  dMatchDist = dTol;
  dAheadDist = dist + kRejoinBeyondBlock;
  NavEdge* pNode = FindNode(pt, dAngle);
  const int bDone = RerouteBefore(hRoute, pt, pNode, dAngle, dRouteArg1, szRouteArg, dRouteArg2);
  VroRouteRemoveAllBlockEdge(hRoute);
  if (bDone == 0) {
    return 0;
  }
  VroRouteReset(hRoute);
  return 1;
}
