// Walking a built path edge by edge with the path's cursor.
#include "CPath/CPath.h"

int CPath::StartEdge() const {
  pCursor = pHead;
  return pCursor != nullptr ? 1 : 0;
}

int CPath::NextEdge(unsigned short& wPtNum, tagLonLat*& pPts) const {
  if (pCursor == nullptr) {
    return 0;
  }
  pPts = pCursor->pts;
  wPtNum = pCursor->wPtNum;
  pCursor = pCursor->pNext;
  return 1;
}

int CPath::NextEdge(unsigned short& wPtNum, tagLonLat*& pPts, VRO_FEATURE_ID& id) const {
  if (pCursor == nullptr) {
    return 0;
  }
  id = pCursor->id;
  return NextEdge(wPtNum, pPts);
}
