// Fuzzes the GPX reader on arbitrary bytes (and the time parser on the same
// bytes). Checks what a successful parse promises: at least one point, every
// point within the coordinate ranges, courses in 0 to below 360, a version of
// "1.0" or "1.1"; a failure always says why.
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

#include "drive/Gpx.h"
#include "fuzz/FuzzValues.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
  const std::string_view text(reinterpret_cast<const char*>(pData), nSize);
  vxdrive::GpxTrack track;
  std::string sError;
  if (vxdrive::ParseGpx(text, track, sError)) {
    FUZZ_CHECK(!track.points.empty());
    FUZZ_CHECK(track.sVersion == "1.0" || track.sVersion == "1.1");
    for (const vxdrive::GpxPoint& p : track.points) {
      FUZZ_CHECK(p.pt.lat >= -90.0 && p.pt.lat <= 90.0);
      FUZZ_CHECK(p.pt.lon >= -180.0 && p.pt.lon <= 180.0);
      FUZZ_CHECK(!p.bHasTime || std::isfinite(p.dTime));
      FUZZ_CHECK(!p.bHasCourse || (p.dCourse >= 0.0 && p.dCourse < 360.0));
    }
  } else {
    FUZZ_CHECK(!sError.empty());
  }
  double dSeconds = 0.0;
  if (vxdrive::ParseIsoTime(text, dSeconds)) {
    FUZZ_CHECK(std::isfinite(dSeconds));
  }
  return 0;
}
