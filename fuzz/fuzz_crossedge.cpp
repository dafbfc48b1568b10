// Fuzzes the junction description (GetCrossEdge) against a map reader whose
// every answer comes from the fuzzer: results, texts (possibly filling their
// buffers without a NUL), point counts, points and attributes. The arrays the
// caller hands in have exactly the room it claims, so any write beyond it is
// caught; the count and the angles are checked.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstring>
#include <memory>
#include <vector>

#include "CPath/CPath.h"
#include "fuzz/FuzzValues.h"
#include "interfaces/VroRead.h"

// The fuzzed reader: answers from the fuzzer's bytes. The points it hands
// out stay valid until its next feature, as a reader promises.
struct VRO_READER {
  FuzzedDataProvider* pFdp = nullptr;
  std::unique_ptr<Bin_LonLat[]> pts;
  Bin_LonLat ptTurn = {0, 0};
};

namespace {

const std::vector<const char*> kCodes = {"R00+0", "R00-0", "R0000", "LVL+", "LVL-",
                                         "TRN+",  "TRN-",  "EID0",  "R",    ""};
const std::vector<const char*> kNames = {"LVL", "TRN", "EID", "R5", ""};
const std::vector<const char*> kValues = {
    "0", "1", "-1", "-$3;-$4", "$5;+$6;-7;;-$", "2147483648", "-$99999999999", "x;-$1;-$1;-$1", ""};

int Answer(VRO_READER* h) {
  switch (h->pFdp->ConsumeIntegralInRange<int>(0, 3)) {
    case 0:
      return 0;
    case 1:
      return h->pFdp->ConsumeIntegral<int>();
    default:
      return 1;
  }
}

void PutTexts(VRO_READER* h, char* szCode, char* szStr1, char* szStr2) {
  vxfuzz::PutText(*h->pFdp, szCode, 6, kCodes);
  vxfuzz::PutText(*h->pFdp, szStr1, 21, kNames);
  vxfuzz::PutText(*h->pFdp, szStr2, 301, kValues);
}

// A point at the junction, a few units from it, or anywhere.
Bin_LonLat ConsumeBin(FuzzedDataProvider& fdp, const Bin_LonLat& ptTurn) {
  switch (fdp.ConsumeIntegralInRange<int>(0, 3)) {
    case 0:
      return ptTurn;
    case 1:
      return {fdp.ConsumeIntegral<std::int32_t>(), fdp.ConsumeIntegral<std::int32_t>()};
    default:
      return {ptTurn.lon + fdp.ConsumeIntegralInRange<int>(-30, 30),
              ptTurn.lat + fdp.ConsumeIntegralInRange<int>(-30, 30)};
  }
}

}  // namespace

int VroFeatureOneAttr(VRO_READER* h, const VRO_FEATURE_ID&, int, char* szCode, char* szStr1,
                      char* szStr2) {
  PutTexts(h, szCode, szStr1, szStr2);
  return Answer(h);
}

int VroReaderNextAttr(VRO_READER* h, char* szCode, char* szStr1, char* szStr2) {
  if (h->pFdp->remaining_bytes() == 0) {
    return 0;
  }
  PutTexts(h, szCode, szStr1, szStr2);
  return Answer(h);
}

int VroReaderPriLimit(VRO_READER* h, char, char) { return Answer(h); }

int VroReaderCatLimit(VRO_READER* h, char, const char* szCats) {
  FUZZ_CHECK(szCats != nullptr);
  FUZZ_CHECK(std::strlen(szCats) <= 7);
  return Answer(h);
}

int VroReaderRectLimit(VRO_READER* h, const Bin_LonLat& p1, const Bin_LonLat& p2) {
  FUZZ_CHECK(p1.lon <= p2.lon && p1.lat <= p2.lat);
  h->ptTurn = {p1.lon + (p2.lon - p1.lon) / 2, p1.lat + (p2.lat - p1.lat) / 2};
  return Answer(h);
}

int VroReaderReset(VRO_READER* h, const char*, int) { return Answer(h); }

int VroReaderNextFeature(VRO_READER* h, char* szCode, char* szStr1, char* szStr2,
                         VRO_FEATURE_ID& id, Bin_LonLat*& pPts) {
  FuzzedDataProvider& fdp = *h->pFdp;
  h->pts.reset();
  if (fdp.remaining_bytes() == 0) {
    return 0;
  }
  PutTexts(h, szCode, szStr1, szStr2);
  id = vxfuzz::ConsumeId(fdp);
  const int nKind = fdp.ConsumeIntegralInRange<int>(0, 7);
  if (nKind == 0) {
    return fdp.ConsumeIntegralInRange<int>(-3, 0);
  }
  const int n = fdp.ConsumeIntegralInRange<int>(1, 6);
  h->pts = std::make_unique<Bin_LonLat[]>(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) {
    h->pts[static_cast<std::size_t>(i)] = ConsumeBin(fdp, h->ptTurn);
  }
  pPts = nKind == 1 ? nullptr : h->pts.get();
  return n;
}

int VroReaderIsSameFeature(VRO_READER* h, const VRO_FEATURE_ID& a, const VRO_FEATURE_ID& b) {
  if (h->pFdp->ConsumeBool()) {
    return h->pFdp->ConsumeBool() ? 1 : 0;
  }
  return std::memcmp(&a, &b, sizeof a) == 0 ? 1 : 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
  FuzzedDataProvider fdp(pData, nSize);
  VRO_READER reader;
  reader.pFdp = &fdp;

  // The arriving edge's points, and the match record pointing at them.
  const auto wPtNum = fdp.ConsumeIntegralInRange<unsigned short>(0, 5);
  std::vector<tagLonLat> pts(wPtNum);
  for (tagLonLat& pt : pts) {
    pt = vxfuzz::ConsumePoint(fdp);
  }
  NavGuid guid{};
  guid.idEdge = vxfuzz::ConsumeId(fdp);
  guid.wPtNum = wPtNum;
  guid.pPts = fdp.ConsumeIntegralInRange<int>(0, 15) == 0 ? nullptr : pts.data();
  guid.ptEnd = wPtNum > 0 && fdp.ConsumeBool() ? pts[wPtNum - 1] : vxfuzz::ConsumePoint(fdp);

  const auto wMaxNum = fdp.ConsumeIntegralInRange<unsigned short>(0, 12);
  // Exactly wMaxNum slots, so that a write beyond them is caught.
  std::vector<VRO_FEATURE_ID> ids(wMaxNum);
  std::vector<double> angles(wMaxNum);
  const bool bNullIds = fdp.ConsumeIntegralInRange<int>(0, 15) == 0;
  const bool bNullAngles = fdp.ConsumeIntegralInRange<int>(0, 15) == 0;
  const int bTurnCheck = fdp.ConsumeIntegralInRange<int>(0, 2);
  const int bLevelCheck = fdp.ConsumeIntegralInRange<int>(0, 2);
  const std::string sCat = fdp.ConsumeRandomLengthString(12);
  const char* pszCat = fdp.ConsumeBool() ? nullptr : sCat.c_str();
  const char cPri1 = fdp.ConsumeIntegral<char>();
  const char cPri2 = fdp.ConsumeIntegral<char>();

  const int n = CPath::GetCrossEdge(&reader, guid, bNullIds ? nullptr : ids.data(),
                                    bNullAngles ? nullptr : angles.data(), wMaxNum, bTurnCheck,
                                    bLevelCheck, pszCat, cPri1, cPri2);
  FUZZ_CHECK(n >= 0 && n <= wMaxNum);
  for (int i = 0; i < n; ++i) {
    const double a = angles[static_cast<std::size_t>(i)];
    FUZZ_CHECK(a >= 0.0 && a <= 360.0);
  }
  return 0;
}
