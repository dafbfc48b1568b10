// Fuzzes building a path: arbitrary texts (no NUL guarantee beyond the
// buffer the fuzzer gives), point counts and points, then walks, copies and
// clears it.
#include <fuzzer/FuzzedDataProvider.h>

#include <string>
#include <vector>

#include "CPath/CPath.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
  FuzzedDataProvider fdp(pData, nSize);
  CPath path;
  while (fdp.remaining_bytes() > 0) {
    const std::string sCode = fdp.ConsumeRandomLengthString(8);
    const std::string sStr1 = fdp.ConsumeRandomLengthString(24);
    const std::string sStr2 = fdp.ConsumeRandomLengthString(400);
    const std::string sAttr = fdp.ConsumeRandomLengthString(24);
    const bool bNullAttr = fdp.ConsumeBool();
    const auto wPtNum = fdp.ConsumeIntegralInRange<unsigned short>(0, 40);
    std::vector<tagLonLat> pts(wPtNum);
    for (tagLonLat& pt : pts) {
      pt.lon = fdp.ConsumeFloatingPoint<double>();
      pt.lat = fdp.ConsumeFloatingPoint<double>();
    }
    const tagLonLat* pPts = fdp.ConsumeBool() ? pts.data() : nullptr;
    const VRO_FEATURE_ID id = {{fdp.ConsumeIntegral<uint32_t>(), fdp.ConsumeIntegral<uint32_t>(),
                                fdp.ConsumeIntegral<uint32_t>(), fdp.ConsumeIntegral<uint32_t>()}};
    const char* szAttr = bNullAttr ? nullptr : sAttr.c_str();
    switch (fdp.ConsumeIntegralInRange<int>(0, 3)) {
      case 0:
        path.AddEdge(sCode.c_str(), sStr1.c_str(), sStr2.c_str(), szAttr, wPtNum, pPts);
        break;
      case 1:
        path.AddEdge(sCode.c_str(), sStr1.c_str(), sStr2.c_str(), szAttr, wPtNum, pPts, id);
        break;
      case 2:
        path.AddEdge(sCode.c_str(), sStr1.c_str(), sStr2.c_str(), szAttr, wPtNum, pPts, id,
                     fdp.ConsumeFloatingPoint<double>());
        break;
      default:
        path.AddEdge(sCode.c_str(), sStr1.c_str(), sStr2.c_str(), szAttr, wPtNum, pPts,
                     fdp.ConsumeFloatingPoint<double>());
        break;
    }
  }
  PathGuid guid;
  PathGuid next;
  for (int b = path.StartGuid(); b && path.NextGuid(guid);) {
    path.GetNextGuid(guid, next);
  }
  CPath copy(path);
  unsigned short wPtNum = 0;
  tagLonLat* pPts = nullptr;
  VRO_FEATURE_ID id;
  for (int b = copy.StartEdge(); b && copy.NextEdge(wPtNum, pPts, id);) {
  }
  path = copy;
  path.Clear();
  return 0;
}
