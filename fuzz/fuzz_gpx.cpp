// Fuzzes the GPX reader and the time parser with arbitrary bytes: no crash,
// and whatever is accepted keeps the reader's promises (at least one point,
// coordinates and courses in range, a message for every refusal).
#include <cmath>
#include <cstdint>
#include <string>
#include <string_view>

#include "drive/Gpx.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
  const std::string_view text(reinterpret_cast<const char*>(pData), nSize);
  vxdrive::GpxTrack track;
  std::string sError;
  if (vxdrive::ParseGpx(text, track, sError)) {
    if (track.points.empty() || (track.sVersion != "1.0" && track.sVersion != "1.1")) {
      __builtin_trap();
    }
    for (const vxdrive::GpxPoint& p : track.points) {
      if (!(p.pt.lat >= -90.0 && p.pt.lat <= 90.0 && p.pt.lon >= -180.0 && p.pt.lon <= 180.0)) {
        __builtin_trap();
      }
      if (p.bHasCourse && !(p.dCourse >= 0.0 && p.dCourse < 360.0)) {
        __builtin_trap();
      }
      if (p.bHasTime && !std::isfinite(p.dTime)) {
        __builtin_trap();
      }
    }
  } else if (sError.empty()) {
    __builtin_trap();
  }
  double dSeconds = 0;
  if (vxdrive::ParseIsoTime(text, dSeconds) && !std::isfinite(dSeconds)) {
    __builtin_trap();
  }
  return 0;
}
