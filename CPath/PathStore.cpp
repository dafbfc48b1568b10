// The path store: construction, copying, clearing, the edge records' memory
// and building the path edge by edge.
#include <cstddef>
#include <cstring>
#include <new>

#include "CPath/CPath.h"
#include "CPath/EdgeHeap.h"
#include "CPath/PathInternal.h"
#include "interfaces/VroGeo.h"
#include "interfaces/VroTexts.h"

namespace {

// Longest road name an edge stores: its length is held in 16 bits.
constexpr std::size_t kMaxEdgeName = 0xFFFF;

// Bytes of an edge block with wPtNum points and a name of wNameLen characters.
std::size_t EdgeBlockSize(unsigned short wPtNum, unsigned short wNameLen) {
  std::size_t n = offsetof(CPath::NavEdge, pts) + sizeof(tagLonLat) * wPtNum;
  if (wNameLen > 0) {
    n += static_cast<std::size_t>(wNameLen) + 1;
  }
  return n < sizeof(CPath::NavEdge) ? sizeof(CPath::NavEdge) : n;
}

// A block for an edge of wPtNum points and a wNameLen-character name from
// the path's heap, which is created first when there is none. Null for no
// points or when memory runs out.
void* AllocEdgeBlock(void*& hHeap, unsigned short wPtNum, unsigned short wNameLen) {
  if (wPtNum == 0) {
    return nullptr;
  }
  if (hHeap == nullptr) {
    hHeap = vx::EdgeHeapCreate();
    if (hHeap == nullptr) {
      return nullptr;
    }
  }
  return vx::EdgeHeapAlloc(hHeap, EdgeBlockSize(wPtNum, wNameLen));
}

}  // namespace

CPath::CPath()
    : hReader(nullptr),
      pHead(nullptr),
      pTail(nullptr),
      pCursor(nullptr),
      dMatchDist(0.0),
      dAheadDist(0.0),
      hHeap(nullptr),
      pMatchIndex(nullptr) {}

CPath::CPath(const CPath& other) : CPath() { *this = other; }

CPath& CPath::operator=(const CPath& other) {
  if (this == &other) {
    return *this;
  }
  Clear();
  hReader = other.hReader;
  dMatchDist = other.dMatchDist;
  dAheadDist = other.dAheadDist;
  for (const NavEdge* pEdge = other.pHead; pEdge != nullptr; pEdge = pEdge->pNext) {
    NavEdge* pCopy = CopyNavEdge(pEdge);
    if (pCopy == nullptr) {
      // Out of memory: a partial route would mislead, so the copy stays empty.
      Clear();
      return *this;
    }
    pCopy->pPrev = pTail;
    pCopy->pNext = nullptr;
    if (pTail != nullptr) {
      pTail->pNext = pCopy;
    } else {
      pHead = pCopy;
    }
    pTail = pCopy;
  }
  RebuildMatchIndex();
  return *this;
}

CPath::~CPath() { CPath::Clear(); }

void CPath::Clear() {
  while (pHead != nullptr) {
    NavEdge* pEdge = pHead;
    pHead = pEdge->pNext;
    DeleteNavEdge(pEdge);
  }
  pHead = pTail = nullptr;
  pCursor = nullptr;
  DropMatchIndex();
  if (hHeap != nullptr) {
    vx::EdgeHeapDestroy(hHeap);
    hHeap = nullptr;
  }
}

void CPath::BeginAddEdge() { Clear(); }

void CPath::SetVroReader(VRO_READER* hReader) { this->hReader = hReader; }

CPath::NavEdge* CPath::NewNavEdge(unsigned short wPtNum) {
  void* pBlock = AllocEdgeBlock(hHeap, wPtNum, 0);
  return pBlock != nullptr ? new (pBlock) NavEdge : nullptr;
}

CPath::NavEdge* CPath::NewNavEdge(unsigned short wPtNum, unsigned short wNameLen) {
  void* pBlock = AllocEdgeBlock(hHeap, wPtNum, wNameLen);
  if (pBlock == nullptr) {
    return nullptr;
  }
  auto* pEdge = new (pBlock) NavEdge;
  pEdge->szName = wNameLen > 0 ? reinterpret_cast<char*>(pEdge->pts + wPtNum) : nullptr;
  pEdge->dReserved1 = 0.0;
  pEdge->dReserved2 = 0.0;
  return pEdge;
}

void CPath::DeleteNavEdge(NavEdge* pEdge) {
  // Every edge of a path lives in the path's heap; with no heap there is no
  // block of ours to release.
  if (pEdge != nullptr && hHeap != nullptr) {
    vx::EdgeHeapFree(hHeap, pEdge);
  }
}

CPath::NavEdge* CPath::CopyNavEdge(const NavEdge* const pEdge) {
  if (pEdge == nullptr) {
    return nullptr;
  }
  const auto wNameLen = static_cast<unsigned short>(
      pEdge->szName != nullptr ? strnlen(pEdge->szName, kMaxEdgeName) : 0);
  NavEdge* pCopy = NewNavEdge(pEdge->wPtNum, wNameLen);
  if (pCopy == nullptr) {
    return nullptr;
  }
  char* szOwnName = pCopy->szName;
  std::memcpy(static_cast<void*>(pCopy), pEdge, offsetof(NavEdge, pts));
  std::memcpy(pCopy->pts, pEdge->pts, sizeof(tagLonLat) * pEdge->wPtNum);
  pCopy->szName = szOwnName;
  if (szOwnName != nullptr) {
    std::memcpy(szOwnName, pEdge->szName, wNameLen);
    szOwnName[wNameLen] = '\0';
  }
  return pCopy;
}

int CPath::AddEdge(const char* szCode, const char* szStr1, const char* szStr2,
                   const char* szRoadAttr, unsigned short wPtNum, const tagLonLat* const pPts) {
  return AddEdge(szCode, szStr1, szStr2, szRoadAttr, wPtNum, pPts, vx::kNullFeatureId);
}

int CPath::AddEdge(const char* szCode, const char* szStr1, const char* szStr2,
                   const char* szRoadAttr, unsigned short wPtNum, const tagLonLat* const pPts,
                   const VRO_FEATURE_ID& id) {
  if (pPts == nullptr || wPtNum < 2) {
    return 0;
  }
  return AddEdge(szCode, szStr1, szStr2, szRoadAttr, wPtNum, pPts, id, LineLength(wPtNum, pPts));
}

int CPath::AddEdge(const char* szCode, const char* szStr1, const char* szStr2,
                   const char* szRoadAttr, unsigned short wPtNum, const tagLonLat* const pPts,
                   double dEdgeLen) {
  if (pPts == nullptr || wPtNum < 2) {
    return 0;
  }
  return AddEdge(szCode, szStr1, szStr2, szRoadAttr, wPtNum, pPts, vx::kNullFeatureId, dEdgeLen);
}

// Over the size limit: the checks and the filling of one record in the documented
// order; to be split into a check step and a fill step.
// NOLINTNEXTLINE(readability-function-size)
int CPath::AddEdge(const char* szCode, const char* szStr1, const char* szStr2,
                   const char* szRoadAttr, unsigned short wPtNum, const tagLonLat* const pPts,
                   const VRO_FEATURE_ID& id, double dEdgeLen) {
  if (pPts == nullptr || wPtNum < 2 || szCode == nullptr || szStr1 == nullptr ||
      szStr2 == nullptr) {
    return 0;
  }
  if (szStr1[0] != 'R') {
    return 0;
  }
  int nCode = 0;
  if (!vx::ReadDecimalInt(szStr1 + 1, nCode)) {
    return 0;
  }
  int nRoadAttr = 0;
  if (szRoadAttr != nullptr) {
    vx::ReadDecimalInt(szRoadAttr, nRoadAttr);
  }
  const std::size_t nNameLen = strnlen(szStr2, kMaxEdgeName + 1);
  if (nNameLen > kMaxEdgeName) {
    return 0;
  }
  const auto wNameLen = static_cast<unsigned short>(nNameLen);
  NavEdge* pEdge = NewNavEdge(wPtNum, wNameLen);
  if (pEdge == nullptr) {
    return 0;
  }
  // A code shorter than four characters carries no one-way sign.
  const char cMark = vro::CodeMark(szCode);
  const bool bOneWay = cMark == '+' || cMark == '-';
  pEdge->pPrev = nullptr;
  pEdge->pNext = nullptr;
  pEdge->bTwoWay = bOneWay ? 0 : 1;
  pEdge->wPtNum = wPtNum;
  pEdge->nCode = vx::Low16(nCode);
  pEdge->nRoadAttr = vx::Low16(nRoadAttr);
  pEdge->id = id;
  if (wNameLen > 0) {
    std::memcpy(pEdge->szName, szStr2, wNameLen);
    pEdge->szName[wNameLen] = '\0';
  }
  std::memcpy(pEdge->pts, pPts, sizeof(tagLonLat) * wPtNum);
  pEdge->dEdgeLen = dEdgeLen;
  pEdge->dMinLon = 180.0;
  pEdge->dMinLat = 90.0;
  pEdge->dMaxLon = -180.0;
  pEdge->dMaxLat = -90.0;
  for (unsigned short i = 0; i < wPtNum; ++i) {
    const tagLonLat& pt = pEdge->pts[i];
    if (pt.lon < pEdge->dMinLon) pEdge->dMinLon = pt.lon;
    if (pt.lat < pEdge->dMinLat) pEdge->dMinLat = pt.lat;
    if (pt.lon > pEdge->dMaxLon) pEdge->dMaxLon = pt.lon;
    if (pt.lat > pEdge->dMaxLat) pEdge->dMaxLat = pt.lat;
  }
  if (pHead == nullptr) {
    pHead = pEdge;
  }
  pEdge->pPrev = pTail;
  if (pTail != nullptr) {
    pTail->pNext = pEdge;
  }
  pTail = pEdge;
  AppendMatchIndex(pEdge);
  return 1;
}
