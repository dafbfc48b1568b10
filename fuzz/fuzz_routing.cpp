// Fuzzes rebuilding a path (QuickRoute, QuickRoute2, BlockRoute) against a
// route engine whose every answer comes from the fuzzer: results, edge texts
// (possibly filling their buffers without a NUL), point counts, points,
// lengths. Checks that a refusal leaves the path as it was, that the edge
// list stays sound, that no block outlives BlockRoute, and that matching and
// guidance keep working on the rebuilt path.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstring>
#include <memory>
#include <vector>

#include "CPath/CPath.h"
#include "fuzz/FuzzValues.h"
#include "interfaces/VroRoute.h"

// The fuzzed engine. The points of an edge stay valid until the next call,
// as an engine promises; the blocks set are counted.
struct VRO_ROUTE {
  FuzzedDataProvider* pFdp = nullptr;
  std::unique_ptr<tagLonLat[]> pts;
  int nBlocks = 0;
  bool bFound = false;
};

namespace {

const std::vector<const char*> kCodes = {"R00+0", "R00-0", "R0000", ""};
const std::vector<const char*> kRoads = {"R1", "R5", "R-40000", "X2", ""};
const std::vector<const char*> kNames = {"Main Street", ""};
const std::vector<const char*> kAttrs = {"0", "50", "99999999999", ""};

// Point counts an engine might report, up to beyond what an edge can hold.
int ConsumeCount(FuzzedDataProvider& fdp) {
  switch (fdp.ConsumeIntegralInRange<int>(0, 31)) {
    case 0:
      return 65535;
    case 1:
      return 65536;
    case 2:
      return fdp.ConsumeIntegralInRange<int>(-2, 0);
    default:
      return fdp.ConsumeIntegralInRange<int>(1, 8);
  }
}

}  // namespace

int VroRouteFindPath(VRO_ROUTE* h, tagLonLat, const tagLonLat&, double, double,
                     const char* szRouteArg, double, const char* szEndName) {
  FUZZ_CHECK(szEndName == nullptr || std::strlen(szEndName) < 0x10000);
  FUZZ_CHECK(szRouteArg == nullptr || std::strlen(szRouteArg) < 0x10000);
  const int r = h->pFdp->ConsumeBool() ? h->pFdp->ConsumeIntegralInRange<int>(-2, 3)
                                       : h->pFdp->ConsumeIntegral<int>();
  h->bFound = r >= 0;
  return r;
}

int VroRouteRetrieveStart(VRO_ROUTE* h) {
  FUZZ_CHECK(h->bFound);
  return h->pFdp->ConsumeIntegralInRange<int>(0, 3) == 0 ? 0 : 1;
}

int VroRouteRetrieveNextEdgeEx(VRO_ROUTE* h, char* szCode, char* szStr1, char* szStr2,
                               char* szRoadAttr, VRO_FEATURE_ID& id, double& dEdgeLen,
                               tagLonLat*& pPts) {
  FuzzedDataProvider& fdp = *h->pFdp;
  h->pts.reset();
  if (fdp.remaining_bytes() == 0 || fdp.ConsumeIntegralInRange<int>(0, 5) == 0) {
    return 0;
  }
  vxfuzz::PutText(fdp, szCode, 6, kCodes);
  vxfuzz::PutText(fdp, szStr1, 21, kRoads);
  vxfuzz::PutText(fdp, szStr2, 301, kNames);
  vxfuzz::PutText(fdp, szRoadAttr, 100, kAttrs);
  id = vxfuzz::ConsumeId(fdp);
  dEdgeLen = vxfuzz::ConsumeNear(fdp, 100.0, 10.0);
  const int n = ConsumeCount(fdp);
  if (n > 0) {
    h->pts = std::make_unique<tagLonLat[]>(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
      h->pts[static_cast<std::size_t>(i)] =
          i < 12 ? vxfuzz::ConsumePoint(fdp) : h->pts[static_cast<std::size_t>(i % 12)];
    }
  }
  pPts = h->pts.get();
  return n;
}

void VroRouteReset(VRO_ROUTE* h) { h->bFound = false; }

void VroRouteAddBlockEdge(VRO_ROUTE* h, const VRO_FEATURE_ID&) { ++h->nBlocks; }

void VroRouteRemoveAllBlockEdge(VRO_ROUTE* h) { h->nBlocks = 0; }

namespace {

// The edges of a path as their point arrays, in order.
std::vector<const tagLonLat*> Edges(const CPath& path) {
  std::vector<const tagLonLat*> edges;
  unsigned short wPtNum = 0;
  tagLonLat* pPts = nullptr;
  for (int b = path.StartEdge(); b && path.NextEdge(wPtNum, pPts);) {
    edges.push_back(pPts);
  }
  return edges;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
  FuzzedDataProvider fdp(pData, nSize);
  VRO_ROUTE engine;
  engine.pFdp = &fdp;
  vxfuzz::FuzzPath path;
  tagLonLat ptLast = {13.4, 52.5};
  const int nEdges = fdp.ConsumeIntegralInRange<int>(0, 12);
  for (int i = 0; i < nEdges; ++i) {
    vxfuzz::AddFuzzEdge(fdp, path, ptLast);
  }
  while (fdp.remaining_bytes() > 0) {
    const std::vector<const tagLonLat*> before = Edges(path);
    const tagLonLat pt = vxfuzz::ConsumePoint(fdp);
    const double dAngle = vxfuzz::ConsumeNear(fdp, 90.0, 10.0);
    const double dArg1 = vxfuzz::ConsumeNear(fdp, 0.0, 1.0);
    const double dArg2 = vxfuzz::ConsumeNear(fdp, 0.0, 1.0);
    const std::string sArg = fdp.ConsumeRandomLengthString(10);
    const char* szArg = fdp.ConsumeBool() ? nullptr : sArg.c_str();
    int r = 0;
    switch (fdp.ConsumeIntegralInRange<int>(0, 3)) {
      case 0:
        r = path.QuickRoute(&engine, pt, dAngle, dArg1, szArg, dArg2);
        break;
      case 1:
        r = path.QuickRoute2(&engine, pt, dAngle, dArg1, szArg, dArg2,
                             vxfuzz::ConsumeNear(fdp, 0.0, 100.0));
        break;
      case 2: {
        const double dBlock = vxfuzz::ConsumeNear(fdp, 0.0, 100.0);
        const double dTol = vxfuzz::ConsumeNear(fdp, 0.0, 50.0);
        r = path.BlockRoute(&engine, dBlock, dTol, pt, dAngle, dArg1, szArg, dArg2);
        FUZZ_CHECK(engine.nBlocks == 0);
        break;
      }
      default:
        // Extend the path between the rebuilds.
        vxfuzz::AddFuzzEdge(fdp, path, ptLast);
        continue;
    }
    FUZZ_CHECK(r == 0 || r == 1);
    path.CheckLinks();
    if (r == 0) {
      FUZZ_CHECK(Edges(path) == before);
    }
    // The rebuilt path still matches positions and yields its guidance.
    NavGuid nav;
    const int m = path.TestPoint(vxfuzz::ConsumePoint(fdp), vxfuzz::ConsumeNear(fdp, 0.0, 20.0),
                                 nav, dAngle, nullptr);
    FUZZ_CHECK(m >= 0 && m <= 3);
    if (m == 1 || m == 2) {
      FUZZ_CHECK(path.HoldsPoints(nav.pPts, nav.wPtNum));
      NavGuid again;
      path.TestPoint(nav.ptClose, 10.0, again, -1.0, &nav);
    }
    PathGuid guid;
    std::size_t nItems = 0;
    for (int b = path.StartGuid(); b && path.NextGuid(guid);) {
      FUZZ_CHECK(path.HoldsPoints(guid.pPts, guid.wPtNum));
      ++nItems;
    }
    FUZZ_CHECK(nItems == path.Count());
  }
  return 0;
}
