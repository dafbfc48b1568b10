// Fuzzes the OpenStreetMap import on arbitrary bytes: they are written to a
// temporary .osm file (XML), opened with VroReaderOpen, and every feature of
// the map that results is read back through the reader calls, with text
// buffers of exactly the sizes the reader is promised, so that any write
// beyond them is caught.
#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "fuzz/FuzzValues.h"
#include "interfaces/VroRead.h"
#include "map/RoadNetwork.h"

namespace {

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
int Walk(VRO_READER* h, Texts& t, Bin_LonLat& ptAny) {
  FUZZ_CHECK(VroReaderReset(h, nullptr, 0) == 1);
  int nFeatures = 0;
  VRO_FEATURE_ID id;
  Bin_LonLat* pPts = nullptr;
  for (int n; (n = VroReaderNextFeature(h, t.szCode.get(), t.szStr1.get(), t.szStr2.get(), id,
                                        pPts)) != 0;) {
    FUZZ_CHECK(n >= 2 && pPts != nullptr);
    t.Check();
    ptAny = pPts[n - 1];
    ReadAttrs(h, t);
    FUZZ_CHECK(VroReaderIsSameFeature(h, id, id) == 1);
    ++nFeatures;
  }
  return nFeatures;
}

// The temporary map file of this process, removed at exit.
struct TempFile {
  std::string sPath = "/tmp/vx_fuzz_osm_" + std::to_string(getpid()) + ".osm";
  ~TempFile() { std::remove(sPath.c_str()); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
  static const TempFile temp;
  const std::string& sFile = temp.sPath;
  std::FILE* f = std::fopen(sFile.c_str(), "wb");
  if (f == nullptr) {
    return 0;
  }
  const bool bWritten = std::fwrite(pData, 1, nSize, f) == nSize;
  std::fclose(f);
  if (!bWritten) {
    return 0;
  }
  VRO_READER* h = VroReaderOpen(sFile.c_str());
  if (h == nullptr) {
    FUZZ_CHECK(VroReaderLastError() != nullptr && VroReaderLastError()[0] != '\0');
    return 0;
  }
  FUZZ_CHECK(VroReaderLastError()[0] == '\0');
  Texts t;
  Bin_LonLat ptAny = {0, 0};
  const int nAll = Walk(h, t, ptAny);
  FUZZ_CHECK(nAll > 0);
  // Each feature seen from either end, and ids that name no feature.
  for (int k = 0; k <= nAll; ++k) {
    for (const bool bReversed : {false, true}) {
      const VRO_FEATURE_ID id = vxmap::FeatureIdOf(static_cast<std::uint32_t>(k), bReversed);
      const int r = VroFeatureOneAttr(h, id, 0, t.szCode.get(), t.szStr1.get(), t.szStr2.get());
      FUZZ_CHECK(r == (k < nAll ? 1 : 0));
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
  VroReaderRectLimit(h, {ptAny.lon + 2, ptAny.lat + 2}, {ptAny.lon - 2, ptAny.lat - 2});
  Bin_LonLat ptSeen = ptAny;
  FUZZ_CHECK(Walk(h, t, ptSeen) >= 1);
  VroReaderCatLimit(h, '1', "");
  FUZZ_CHECK(Walk(h, t, ptSeen) == 0);
  VroReaderClose(h);
  return 0;
}
