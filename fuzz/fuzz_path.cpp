// Fuzzes a built path: edges from the fuzzer, then position matching
// (public and protected TestPoint), the rejoin search (FindNode), guidance
// (StartGuid, NextGuid, GetNextGuid) and edge walks on any doubles and any
// tolerance, direction and given item, with copies, assignments and clears in
// between. Checks what the calls promise about their results.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstring>

#include "CPath/CPath.h"
#include "fuzz/FuzzValues.h"

namespace {

using vxfuzz::FuzzPath;

double ConsumeAngle(FuzzedDataProvider& fdp) {
  return fdp.ConsumeBool() ? fdp.ConsumeIntegralInRange<int>(-1, 400)
                           : vxfuzz::ConsumeNear(fdp, 0.0, 0.5);
}

double ConsumeTol(FuzzedDataProvider& fdp) { return vxfuzz::ConsumeNear(fdp, 0.0, 5.0); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
  FuzzedDataProvider fdp(pData, nSize);
  FuzzPath path;
  tagLonLat ptLast = {13.4, 52.5};
  NavGuid nav{};
  PathGuid guid{};
  PathGuid next{};
  // Items handed out by the current edges; forgotten when the edges change.
  bool bNav = false;
  bool bGuid = false;
  const auto forget = [&] { bNav = bGuid = false; };
  while (fdp.remaining_bytes() > 0) {
    switch (fdp.ConsumeIntegralInRange<int>(0, 11)) {
      case 0:
      case 1: {
        const std::size_t nBefore = path.Count();
        const int r = vxfuzz::AddFuzzEdge(fdp, path, ptLast);
        FUZZ_CHECK(r == 0 || r == 1);
        FUZZ_CHECK(path.Count() == nBefore + static_cast<std::size_t>(r));
        break;
      }
      case 2: {
        const tagLonLat pt = vxfuzz::ConsumePoint(fdp);
        const double dTol = ConsumeTol(fdp);
        const double dAngle = ConsumeAngle(fdp);
        const int nGiven = fdp.ConsumeIntegralInRange<int>(0, 2);
        const PathGuid* pGiven = nGiven == 1 && bGuid  ? &guid
                                 : nGiven == 2 && bNav ? &nav
                                                       : nullptr;
        NavGuid out;
        std::memset(&out, 0x5A, sizeof out);
        if (pGiven == &nav && fdp.ConsumeBool()) {
          out = nav;  // the record to fill is the given item itself
          pGiven = &out;
        }
        const int r = path.TestPoint(pt, dTol, out, dAngle, pGiven);
        FUZZ_CHECK(r >= 0 && r <= 3);
        if (r == 0 || r == 3) {
          FUZZ_CHECK(out.pPts == nullptr && out.wPtNum == 0);
        } else {
          FUZZ_CHECK(path.HoldsPoints(out.pPts, out.wPtNum));
          FUZZ_CHECK(out.pNextPts == nullptr || path.HoldsPoints(out.pNextPts, out.wNextPtNum));
          vxfuzz::CheckNames(out);
        }
        if (r == 0) {
          FUZZ_CHECK(path.Head() == nullptr || !(dTol > 0));
        }
        nav = out;
        bNav = true;
        break;
      }
      case 3: {
        int n = fdp.ConsumeIntegralInRange<int>(0, 4);
        for (int b = path.StartGuid(); b && n-- > 0;) {
          if (path.NextGuid(guid) == 0) {
            break;
          }
          vxfuzz::CheckNames(guid);
          FUZZ_CHECK(path.HoldsPoints(guid.pPts, guid.wPtNum));
          bGuid = true;
        }
        break;
      }
      case 4: {
        PathGuid g{};
        if (bNav && fdp.ConsumeBool()) {
          g = nav;
        } else if (bGuid) {
          g = guid;
        } else {
          break;
        }
        // The scalar fields may be anything; the pointers stay the library's.
        switch (fdp.ConsumeIntegralInRange<int>(0, 3)) {
          case 0:
            g.ptEnd = vxfuzz::ConsumePoint(fdp);
            break;
          case 1:
            g.dTurnAngle = vxfuzz::ConsumeNear(fdp, 90.0, 45.0);
            break;
          case 2:
            g.idNext = vxfuzz::ConsumeId(fdp);
            break;
          default:
            break;
        }
        std::memset(&next, 0x5A, sizeof next);
        const tagLonLat* pWanted = g.pNextPts;
        // The item after g may be written over g itself.
        PathGuid& out = fdp.ConsumeBool() ? g : next;
        if (path.GetNextGuid(g, out) == 1) {
          vxfuzz::CheckNames(out);
          FUZZ_CHECK(out.pPts == pWanted);
          FUZZ_CHECK(path.HoldsPoints(out.pPts, out.wPtNum));
        }
        break;
      }
      case 5: {
        unsigned short w = 0xFFFF;
        tagLonLat ptClose = {0, 0};
        const CPath::NavEdge* pStart = nullptr;
        if (fdp.ConsumeBool() && path.Head() != nullptr) {
          pStart = path.Head()->pNext != nullptr ? path.Head()->pNext : path.Head();
        }
        const double dTol = ConsumeTol(fdp);
        const CPath::NavEdge* pEdge =
            path.Match(vxfuzz::ConsumePoint(fdp), dTol, w, ptClose, ConsumeAngle(fdp), pStart);
        if (pEdge != nullptr) {
          FUZZ_CHECK(path.Holds(pEdge));
          FUZZ_CHECK(w < pEdge->wPtNum);
        } else {
          FUZZ_CHECK(path.Head() == nullptr || !(dTol > 0));
        }
        break;
      }
      case 6: {
        const tagLonLat pt = vxfuzz::ConsumePoint(fdp);
        const double dAngle = ConsumeAngle(fdp);
        const double dMatch = ConsumeTol(fdp);
        const double dAhead = vxfuzz::ConsumeNear(fdp, 0.0, 50.0);
        const CPath::NavEdge* pNode = path.Node(pt, dAngle, dMatch, dAhead);
        FUZZ_CHECK(pNode == nullptr || path.Holds(pNode));
        break;
      }
      case 7: {
        unsigned short wPtNum = 0;
        tagLonLat* pPts = nullptr;
        VRO_FEATURE_ID id;
        double dSum = 0;
        for (int b = path.StartEdge(); b && path.NextEdge(wPtNum, pPts, id);) {
          dSum += pPts[wPtNum - 1].lon;  // every handed-out point is readable
        }
        static_cast<void>(dSum);
        break;
      }
      case 8: {
        FuzzPath copy;
        static_cast<CPath&>(copy) = path;
        FUZZ_CHECK(copy.Count() == path.Count());
        copy.CheckLinks();
        if (fdp.ConsumeBool()) {
          static_cast<CPath&>(path) = copy;
          forget();
        }
        break;
      }
      case 9: {
        const FuzzPath copy(path);
        FUZZ_CHECK(copy.Count() == path.Count());
        CPath& target = path;
        const CPath& source = path;
        target = source;  // self-assignment keeps the path
        FUZZ_CHECK(copy.Count() == path.Count());
        break;
      }
      case 10:
        if (fdp.ConsumeBool()) {
          path.Clear();
        } else {
          path.BeginAddEdge();
        }
        FUZZ_CHECK(path.Head() == nullptr && path.StartGuid() == 0);
        forget();
        break;
      default:
        // Walking on after the path changed must not reach a released edge.
        if (path.NextGuid(guid) == 1) {
          FUZZ_CHECK(path.HoldsPoints(guid.pPts, guid.wPtNum));
          bGuid = true;
        }
        break;
    }
    path.CheckLinks();
  }
  return 0;
}
