// Guidance iteration: one item per edge with the turn onto the next edge, and
// the item after a given one; and copying an edge into an item, which
// position matching shares.
#include "CPath/CPath.h"
#include "CPath/PathInternal.h"
#include "interfaces/VroGeo.h"

namespace vx {

void FillEdgeFields(const CPath::NavEdge& e, PathGuid& guid) {
  guid.idEdge = e.id;
  CopyGuidName(guid.szName, e.szName);
  guid.nCode = e.nCode;
  guid.nRoadAttr = e.nRoadAttr;
  guid.wPtNum = e.wPtNum;
  guid.pPts = const_cast<tagLonLat*>(e.pts);
  guid.ptEnd = e.pts[e.wPtNum - 1];
}

void FillNextFields(const CPath::NavEdge& n, PathGuid& guid) {
  guid.idNext = n.id;
  CopyGuidName(guid.szNextName, n.szName);
  guid.nNextCode = n.nCode;
  guid.nNextRoadAttr = n.nRoadAttr;
  guid.wNextPtNum = n.wPtNum;
  guid.pNextPts = const_cast<tagLonLat*>(n.pts);
}

}  // namespace vx

namespace {

// Fills an item from edge e as NextGuid and GetNextGuid both do.
void FillGuid(const CPath::NavEdge& e, PathGuid& guid) {
  vx::FillEdgeFields(e, guid);
  guid.dReserved1 = e.dReserved1;
  guid.dReserved2 = e.dReserved2;
  guid.dDist = e.dEdgeLen;
  guid.szNextName[0] = '\0';
  guid.nNextCode = 0;
  guid.wNextPtNum = 0;
  guid.pNextPts = nullptr;
  const CPath::NavEdge* pNext = e.pNext;
  if (pNext == nullptr) {
    guid.idNext = vx::kNullFeatureId;
    guid.dTurnAngle = -1.0;
    return;
  }
  vx::FillNextFields(*pNext, guid);
  guid.dTurnAngle = vx::TurnAngle(e, *pNext);
}

}  // namespace

int CPath::StartGuid() const {
  pCursor = pHead;
  return pCursor != nullptr ? 1 : 0;
}

int CPath::NextGuid(PathGuid& guid) const {
  if (pCursor == nullptr) {
    return 0;
  }
  const NavEdge* pEdge = pCursor;
  FillGuid(*pEdge, guid);
  pCursor = pEdge->pNext;
  return 1;
}

int CPath::GetNextGuid(const PathGuid& guid, PathGuid& next) const {
  if (pHead == nullptr) {
    return 0;
  }
  if (guid.ptEnd.lon == vx::kMissingPoint.lon || guid.ptEnd.lat == vx::kMissingPoint.lat) {
    return 0;
  }
  if (guid.dTurnAngle < 0) {
    return 0;
  }
  double dLon = 0.0;
  double dLat = 0.0;
  GetUnitDegree(guid.ptEnd, dLon, dLat);
  dLon *= 100.0;
  dLat *= 100.0;
  const tagLonLat lt = {guid.ptEnd.lon - dLon, guid.ptEnd.lat - dLat};
  const tagLonLat rb = {guid.ptEnd.lon + dLon, guid.ptEnd.lat + dLat};
  for (const NavEdge* pEdge = pHead; pEdge != nullptr; pEdge = pEdge->pNext) {
    if (!(pEdge->dMaxLon > lt.lon && pEdge->dMaxLat > lt.lat && pEdge->dMinLon < rb.lon &&
          pEdge->dMinLat < rb.lat)) {
      continue;
    }
    if (vx::IsSameFeatureId(pEdge->id, guid.idNext) && pEdge->pts == guid.pNextPts) {
      FillGuid(*pEdge, next);
      return 1;
    }
  }
  return 0;
}
