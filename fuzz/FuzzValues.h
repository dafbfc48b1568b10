// Values the fuzz targets draw from the fuzzer's bytes: coordinates and
// numbers that are mostly plausible (points on a small grid around a base, so
// that edges meet and positions match) and sometimes hostile (NaN,
// infinities, huge, denormal, negative zero), texts of a given buffer size
// that may fill it without a NUL, and paths built from those.
#ifndef VX_FUZZ_FUZZVALUES_H
#define VX_FUZZ_FUZZVALUES_H

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "CPath/CPath.h"

/// Stops the run with a message when a property the library promises fails;
/// libFuzzer records the input as a crash.
#define FUZZ_CHECK(cond)                                                            \
  do {                                                                              \
    if (!(cond)) {                                                                  \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
      std::abort();                                                                 \
    }                                                                               \
  } while (0)

namespace vxfuzz {

/// A number that is, by the fuzzer's choice, hostile or near dBase: dBase
/// plus a whole number of dStep.
inline double ConsumeNear(FuzzedDataProvider& fdp, double dBase, double dStep) {
  switch (fdp.ConsumeIntegralInRange<int>(0, 15)) {
    case 0:
      return std::numeric_limits<double>::quiet_NaN();
    case 1:
      return std::numeric_limits<double>::infinity();
    case 2:
      return -std::numeric_limits<double>::infinity();
    case 3:
      return fdp.ConsumeBool() ? std::numeric_limits<double>::max()
                               : std::numeric_limits<double>::lowest();
    case 4:
      return fdp.ConsumeBool() ? std::numeric_limits<double>::denorm_min()
                               : -std::numeric_limits<double>::min() / 3;
    case 5:
      return fdp.ConsumeFloatingPoint<double>();
    case 6:
      return -0.0;
    default:
      return dBase + fdp.ConsumeIntegral<short>() * dStep;
  }
}

/// A point near (13.4, 52.5) on a grid of about 11 m, or hostile.
inline tagLonLat ConsumePoint(FuzzedDataProvider& fdp) {
  const double dLon = ConsumeNear(fdp, 13.4, 1e-4);
  const double dLat = ConsumeNear(fdp, 52.5, 1e-4);
  return {dLon, dLat};
}

/// A feature identifier from a handful (so that they repeat), or any.
inline VRO_FEATURE_ID ConsumeId(FuzzedDataProvider& fdp) {
  if (fdp.ConsumeBool()) {
    return {{fdp.ConsumeIntegralInRange<std::uint32_t>(0, 7), 0, 0, 0}};
  }
  return {{fdp.ConsumeIntegral<std::uint32_t>(), fdp.ConsumeIntegral<std::uint32_t>(),
           fdp.ConsumeIntegral<std::uint32_t>(), fdp.ConsumeIntegral<std::uint32_t>()}};
}

/// Writes a text into a buffer of nCap bytes as a map reader or route engine
/// might: one of the given typical texts, or fuzzer bytes, and in either case
/// possibly the whole buffer without a NUL.
inline void PutText(FuzzedDataProvider& fdp, char* pBuf, std::size_t nCap,
                    const std::vector<const char*>& typical) {
  if (pBuf == nullptr || nCap == 0) {
    return;
  }
  std::string s;
  if (!typical.empty() && fdp.ConsumeBool()) {
    s = typical[fdp.ConsumeIntegralInRange<std::size_t>(0, typical.size() - 1)];
  } else {
    s = fdp.ConsumeRandomLengthString(nCap + 8);
  }
  if (fdp.ConsumeIntegralInRange<int>(0, 7) == 0) {
    s.resize(nCap, 'x');  // fills the buffer, no NUL
  }
  const std::size_t n = s.size() < nCap ? s.size() : nCap;
  std::memcpy(pBuf, s.data(), n);
  if (n < nCap) {
    pBuf[n] = '\0';
  }
}

/// Adds one edge to path from the fuzzer's bytes through one of the four
/// AddEdge overloads; the points mostly continue from the path's last point.
/// Returns AddEdge's result.
inline int AddFuzzEdge(FuzzedDataProvider& fdp, CPath& path, tagLonLat& ptLast) {
  static const std::vector<const char*> kCodes = {"R00+0", "R00-0", "R0000", "R", ""};
  static const std::vector<const char*> kRoads = {"R1", "R5", "R-3", "R99999999999", "X1", ""};
  char szCode[8];
  char szStr1[24];
  PutText(fdp, szCode, sizeof szCode - 1, kCodes);
  szCode[sizeof szCode - 1] = '\0';
  PutText(fdp, szStr1, sizeof szStr1 - 1, kRoads);
  szStr1[sizeof szStr1 - 1] = '\0';
  const std::string sName = fdp.ConsumeBool()
                                ? std::string(fdp.ConsumeIntegralInRange<int>(0, 700), 'n')
                                : fdp.ConsumeRandomLengthString(40);
  const std::string sAttr = fdp.ConsumeRandomLengthString(12);
  const auto wPtNum = fdp.ConsumeIntegralInRange<unsigned short>(0, 12);
  std::vector<tagLonLat> pts(wPtNum);
  for (unsigned short i = 0; i < wPtNum; ++i) {
    pts[i] = i == 0 && fdp.ConsumeBool() ? ptLast : ConsumePoint(fdp);
  }
  const tagLonLat* pPts = fdp.ConsumeIntegralInRange<int>(0, 15) == 0 ? nullptr : pts.data();
  const char* szAttr = fdp.ConsumeBool() ? sAttr.c_str() : nullptr;
  int r = 0;
  switch (fdp.ConsumeIntegralInRange<int>(0, 3)) {
    case 0:
      r = path.AddEdge(szCode, szStr1, sName.c_str(), szAttr, wPtNum, pPts);
      break;
    case 1:
      r = path.AddEdge(szCode, szStr1, sName.c_str(), szAttr, wPtNum, pPts, ConsumeId(fdp));
      break;
    case 2:
      r = path.AddEdge(szCode, szStr1, sName.c_str(), szAttr, wPtNum, pPts, ConsumeId(fdp),
                       ConsumeNear(fdp, 100.0, 10.0));
      break;
    default:
      r = path.AddEdge(szCode, szStr1, sName.c_str(), szAttr, wPtNum, pPts,
                       ConsumeNear(fdp, 100.0, 10.0));
      break;
  }
  if (r == 1) {
    ptLast = pts[wPtNum - 1];
  }
  return r;
}

/// A path that lets the fuzz targets look at its edge list without moving
/// the cursor, and reach the protected matching calls.
class FuzzPath : public CPath {
 public:
  NavEdge* Match(const tagLonLat& pt, double dTol, unsigned short& wPtInx, tagLonLat& ptClose,
                 double dAngle, const NavEdge* pStart) const {
    return TestPoint(pt, dTol, wPtInx, ptClose, dAngle, pStart);
  }
  NavEdge* Node(const tagLonLat& pt, double dAngle, double dMatch, double dAhead) {
    dMatchDist = dMatch;
    dAheadDist = dAhead;
    return FindNode(pt, dAngle);
  }
  const NavEdge* Head() const { return pHead; }
  std::size_t Count() const {
    std::size_t n = 0;
    for (const NavEdge* p = pHead; p != nullptr; p = p->pNext) {
      ++n;
    }
    return n;
  }
  /// True when pEdge is one of this path's edges.
  bool Holds(const NavEdge* pEdge) const {
    for (const NavEdge* p = pHead; p != nullptr; p = p->pNext) {
      if (p == pEdge) {
        return true;
      }
    }
    return false;
  }
  /// True when pPts is the point array of one of the edges, with wPtNum points.
  bool HoldsPoints(const tagLonLat* pPts, unsigned short wPtNum) const {
    for (const NavEdge* p = pHead; p != nullptr; p = p->pNext) {
      if (p->pts == pPts) {
        return p->wPtNum == wPtNum;
      }
    }
    return false;
  }
  /// The links run both ways and end at pTail; every edge has two points.
  void CheckLinks() const {
    const NavEdge* pPrev = nullptr;
    for (const NavEdge* p = pHead; p != nullptr; p = p->pNext) {
      FUZZ_CHECK(p->pPrev == pPrev);
      FUZZ_CHECK(p->wPtNum >= 2);
      pPrev = p;
    }
    FUZZ_CHECK(pTail == pPrev);
    FUZZ_CHECK(pCursor == nullptr || Holds(pCursor));
  }
};

/// A guidance record's names end within their fields.
inline void CheckNames(const PathGuid& guid) {
  FUZZ_CHECK(std::memchr(guid.szName, '\0', sizeof guid.szName) != nullptr);
  FUZZ_CHECK(std::memchr(guid.szNextName, '\0', sizeof guid.szNextName) != nullptr);
}

}  // namespace vxfuzz

#endif
