// The work both map fuzz targets do on a map that opened: the restrictions
// over via ways followed, every feature and attribute read back through the
// reader calls with text buffers of exactly the promised sizes, the junction
// search, and the route engine on the map with a path built from its route,
// matched, described at its junctions and rebuilt. On a map that holds together (bExact) the
// reader's promises about what a search finds are checked too; on a corrupt compiled file only that
// every call is safe.
#ifndef VX_FUZZ_EXERCISEMAP_H
#define VX_FUZZ_EXERCISEMAP_H

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "CPath/CPath.h"
#include "fuzz/FuzzValues.h"
#include "interfaces/VroRead.h"
#include "interfaces/VroRoute.h"
#include "network/FeatureId.h"
#include "network/ReaderNetwork.h"
#include "network/RoadGeometry.h"

namespace vxfuzz {

// The reader's three text buffers, each on its own in the heap.
struct Texts {
  std::unique_ptr<char[]> szCode = std::make_unique<char[]>(6);
  std::unique_ptr<char[]> szStr1 = std::make_unique<char[]>(21);
  std::unique_ptr<char[]> szStr2 = std::make_unique<char[]>(301);

  void Check() const {
    FUZZ_CHECK(std::memchr(szCode.get(), '\0', 6) != nullptr);
    FUZZ_CHECK(std::memchr(szStr1.get(), '\0', 21) != nullptr);
    FUZZ_CHECK(std::memchr(szStr2.get(), '\0', 301) != nullptr);
  }
};

// Reads every attribute of the selected feature.
void ReadAttrs(VRO_READER* h, Texts& t) {
  for (int n = 0; VroReaderNextAttr(h, t.szCode.get(), t.szStr1.get(), t.szStr2.get()) != 0; ++n) {
    t.Check();
    FUZZ_CHECK(n < 100000);
  }
}

// Walks the search under the limits set; returns the number of features.
// ptFirst and ptLast get the first point of the first feature and the last
// point of the last.
int Walk(VRO_READER* h, Texts& t, Bin_LonLat& ptFirst, Bin_LonLat& ptAny) {
  FUZZ_CHECK(VroReaderReset(h, nullptr, 0) == 1);
  int nFeatures = 0;
  VRO_FEATURE_ID id;
  Bin_LonLat* pPts = nullptr;
  for (int n; (n = VroReaderNextFeature(h, t.szCode.get(), t.szStr1.get(), t.szStr2.get(), id,
                                        pPts)) != 0;) {
    FUZZ_CHECK(n >= 2 && pPts != nullptr);
    t.Check();
    if (nFeatures == 0) {
      ptFirst = pPts[0];
    }
    ptAny = pPts[n - 1];
    ReadAttrs(h, t);
    FUZZ_CHECK(VroReaderIsSameFeature(h, id, id) == 1);
    ++nFeatures;
  }
  return nFeatures;
}

tagLonLat Degrees(const Bin_LonLat& pt) {
  return {vxnet::BinToDegrees(pt.lon), vxnet::BinToDegrees(pt.lat)};
}

// Routes from ptFrom to ptTo with the engine (turn and U-turn penalties
// dPenalty and 3 dPenalty: 0 searches over the overlay where the map has
// one) and builds a path of the route's edges, read with buffers of exactly
// the promised sizes. Every edge the engine hands out is one AddEdge takes.
void RouteInto(VRO_ROUTE* hRoute, const tagLonLat& ptFrom, const tagLonLat& ptTo, double dAngle,
               const char* szArg, double dPenalty, CPath& path) {
  if (VroRouteFindPath(hRoute, ptFrom, ptTo, dAngle, dPenalty, szArg, 3 * dPenalty, nullptr) < 0 ||
      VroRouteRetrieveStart(hRoute) == 0) {
    return;
  }
  Texts t;
  std::unique_ptr<char[]> szAttr = std::make_unique<char[]>(100);
  VRO_FEATURE_ID id;
  double dEdgeLen = 0;
  tagLonLat* pPts = nullptr;
  for (int n;
       (n = VroRouteRetrieveNextEdgeEx(hRoute, t.szCode.get(), t.szStr1.get(), t.szStr2.get(),
                                       szAttr.get(), id, dEdgeLen, pPts)) > 0;) {
    t.Check();
    FUZZ_CHECK(std::memchr(szAttr.get(), '\0', 100) != nullptr);
    FUZZ_CHECK(n >= 2 && n <= 0xFFFF && pPts != nullptr);
    FUZZ_CHECK(path.AddEdge(t.szCode.get(), t.szStr1.get(), t.szStr2.get(), szAttr.get(),
                            static_cast<unsigned short>(n), pPts, id, dEdgeLen) == 1);
  }
  VroRouteReset(hRoute);
}

// Matches the middle of every edge of path and describes each junction
// through the reader; then rebuilds the path with the engine.
void DriveAlong(VRO_READER* h, VRO_ROUTE* hRoute, CPath& path, const tagLonLat& ptStart,
                bool bExact) {
  std::vector<tagLonLat> fixes;
  unsigned short wPtNum = 0;
  tagLonLat* pPts = nullptr;
  for (int b = path.StartEdge(); b && path.NextEdge(wPtNum, pPts);) {
    fixes.push_back({(pPts[0].lon + pPts[1].lon) / 2, (pPts[0].lat + pPts[1].lat) / 2});
  }
  VRO_FEATURE_ID ids[8];
  double angles[8];
  for (const tagLonLat& pt : fixes) {
    NavGuid nav;
    const int r = path.TestPoint(pt, 30.0, nav, -1.0, nullptr);
    FUZZ_CHECK(r == 1 || r == 2 || !bExact);
    const int n = CPath::GetCrossEdge(h, nav, ids, angles, 8, 1, 1, nullptr, '1', '7');
    FUZZ_CHECK(n >= 0 && n <= 8);
  }
  path.QuickRoute(hRoute, ptStart, 90.0, 0.0, nullptr, 0.0);
  path.BlockRoute(hRoute, 30.0, 100.0, ptStart, -1.0, 0.0, "shortest", 0.0);
}

// Follows every restriction over via ways through the view's accessors, as
// the route engine would: half-edges are checked against the features before
// a feature is read. On a map that holds together (bExact) each record must
// be a drivable chain, from half-edge through the via half-edges to the to
// half-edge, found again by its from half-edge.
void FollowViaRestrictions(VRO_READER* h, bool bExact) {
  const vxnet::NetworkView* pNet = vxnet::NetworkOfReader(h);
  FUZZ_CHECK(pNet != nullptr);
  const std::size_t nHalfEdges = 2 * pNet->features.size();
  // The node a half-edge starts (bEnd false) or ends at; UINT32_MAX when it names no feature.
  const auto node = [&](std::uint32_t nHalf, bool bEnd) {
    if (nHalf >= nHalfEdges) return UINT32_MAX;
    const vxnet::Feature& f = pNet->features[nHalf / 2];
    return bEnd != (nHalf % 2 != 0) ? f.nToNode : f.nFromNode;
  };
  for (const vxnet::ViaRestriction& r : pNet->viaRestrictions) {
    const std::span<const std::uint32_t> via = pNet->ViaOf(r);
    std::uint32_t nAt = node(r.nFrom, true);
    bool bChain = !via.empty() && nAt != UINT32_MAX;
    for (const std::uint32_t nHalf : via) {
      bChain = bChain && node(nHalf, false) == nAt;
      nAt = node(nHalf, true);
    }
    bChain = bChain && node(r.nTo, false) == nAt && nAt != UINT32_MAX;
    const std::span<const vxnet::ViaRestriction> same = pNet->ViaRestrictionsFrom(r.nFrom);
    FUZZ_CHECK(!bExact ||
               (bChain && r.nKind <= vxnet::kViaOnly &&
                std::any_of(same.begin(), same.end(), [&](const auto& o) { return &o == &r; })));
  }
}

/// Exercises the opened reader h; nSize picks the hostile query.
inline void ExerciseMap(VRO_READER* h, std::size_t nSize, bool bExact) {
  FollowViaRestrictions(h, bExact);
  Texts t;
  Bin_LonLat ptFirst = {0, 0};
  Bin_LonLat ptAny = {0, 0};
  const int nAll = Walk(h, t, ptFirst, ptAny);
  FUZZ_CHECK(nAll > 0 || !bExact);
  // Each feature seen from either end, and ids that name no feature.
  for (int k = 0; k <= nAll; ++k) {
    for (const bool bReversed : {false, true}) {
      const VRO_FEATURE_ID id = vxnet::FeatureIdOf(static_cast<std::uint32_t>(k), bReversed);
      const int r = VroFeatureOneAttr(h, id, 0, t.szCode.get(), t.szStr1.get(), t.szStr2.get());
      FUZZ_CHECK(r == (k < nAll ? 1 : 0) || !bExact);
      if (r != 0) {
        t.Check();
      }
      ReadAttrs(h, t);
    }
  }
  const VRO_FEATURE_ID idNull = {{0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0u}};
  FUZZ_CHECK(VroFeatureOneAttr(h, idNull, 0, t.szCode.get(), t.szStr1.get(), t.szStr2.get()) == 0);
  // The junction search the path library makes: a small rectangle around a
  // map point, a class range and category lists.
  VroReaderPriLimit(h, '7', '1');
  VroReaderCatLimit(h, '0', "");
  VroReaderCatLimit(h, '2', "");
  VroReaderCatLimit(h, '1', "1234567");
  // (Saturated: a compiled map's points may lie anywhere in 32 bits.)
  const auto step = [](std::int32_t v, std::int64_t d) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        v + d, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
  };
  VroReaderRectLimit(h, {step(ptAny.lon, 2), step(ptAny.lat, 2)},
                     {step(ptAny.lon, -2), step(ptAny.lat, -2)});
  Bin_LonLat ptSeen = ptAny;
  FUZZ_CHECK(Walk(h, t, ptSeen, ptSeen) >= 1 || !bExact);
  VroReaderCatLimit(h, '1', "");
  FUZZ_CHECK(Walk(h, t, ptSeen, ptSeen) == 0 || !bExact);
  VroReaderCatLimit(h, '1', "1234567");
  VroReaderRectLimit(h, {INT32_MIN, INT32_MIN}, {INT32_MAX, INT32_MAX});

  VRO_ROUTE* hRoute = VroRouteOpen(h);
  if (hRoute != nullptr) {
    CPath path;
    RouteInto(hRoute, Degrees(ptFirst), Degrees(ptAny), -1.0, nullptr, 10.0, path);
    DriveAlong(h, hRoute, path, Degrees(ptFirst), bExact);
    CPath back;
    RouteInto(hRoute, Degrees(ptAny), Degrees(ptFirst), 90.0, "shortest", 0.0, back);
    // One hostile query per input, chosen by its size.
    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    constexpr double kInf = std::numeric_limits<double>::infinity();
    const double kBad[] = {kNaN, kInf, -kInf, 1e308, -1e308, 4.9e-324, 720.5, -0.0};
    const double dBad = kBad[nSize % 8];
    const tagLonLat ptBad = nSize % 2 == 0 ? tagLonLat{dBad, 52.5} : tagLonLat{13.4, dBad};
    CPath bad;
    RouteInto(hRoute, ptBad, Degrees(ptAny), dBad, "fastest", 10.0, bad);
    VroRouteFindPath(hRoute, Degrees(ptFirst), ptBad, -1.0, dBad, "", dBad, "");
    VroRouteReset(hRoute);
    FUZZ_CHECK(VroRouteRetrieveStart(hRoute) == 0);
    VroRouteClose(hRoute);
  }
}

/// Writes the bytes to sFile and opens it with VroReaderOpen: a failure must
/// come with a reason, a success without one; a map that opens is exercised
/// (ExerciseMap) and closed. Nothing happens when the file cannot be written.
inline void OpenAndExercise(const std::string& sFile, const void* pData, std::size_t nSize,
                            bool bExact) {
  std::FILE* f = std::fopen(sFile.c_str(), "wb");
  if (f == nullptr) {
    return;
  }
  const bool bWritten = std::fwrite(pData, 1, nSize, f) == nSize;
  std::fclose(f);
  if (!bWritten) {
    return;
  }
  VRO_READER* h = VroReaderOpen(sFile.c_str());
  if (h == nullptr) {
    FUZZ_CHECK(VroReaderLastError() != nullptr && VroReaderLastError()[0] != '\0');
    return;
  }
  FUZZ_CHECK(VroReaderLastError()[0] == '\0');
  ExerciseMap(h, nSize, bExact);
  VroReaderClose(h);
}

}  // namespace vxfuzz

#endif
