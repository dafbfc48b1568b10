// Fuzzes the command line of `vxnav drive`: the bytes, split at NULs and
// newlines, are its arguments. Checks that a run is asked for only with
// settings inside their documented ranges, and that every refusal says why.
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "drive/DriveOptions.h"
#include "fuzz/FuzzValues.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
  std::vector<std::string> args(1);
  for (size_t i = 0; i < nSize; ++i) {
    const char c = static_cast<char>(pData[i]);
    if (c == '\0' || c == '\n') {
      args.emplace_back();
    } else {
      args.back() += c;
    }
  }
  vxdrive::DriveOptions opts;
  std::string sError;
  switch (vxdrive::ParseDriveOptions(args, opts, sError)) {
    case vxdrive::ParseStatus::kRun:
      FUZZ_CHECK(!opts.sMap.empty());
      FUZZ_CHECK(!opts.bFromGiven ||
                 (std::fabs(opts.ptFrom.lon) <= 180.0 && std::fabs(opts.ptFrom.lat) <= 90.0));
      FUZZ_CHECK(!opts.bToGiven ||
                 (std::fabs(opts.ptTo.lon) <= 180.0 && std::fabs(opts.ptTo.lat) <= 90.0));
      FUZZ_CHECK(opts.dNoise >= 0.0 && opts.dNoise <= 1000.0);
      FUZZ_CHECK(opts.dHeadingNoise >= 0.0 && opts.dHeadingNoise <= 180.0);
      FUZZ_CHECK(opts.nMissTurn >= 0);
      FUZZ_CHECK(opts.dClosure == -1.0 || (opts.dClosure >= 0.0 && opts.dClosure <= 1e7));
      FUZZ_CHECK(opts.dTolerance >= 1.0 && opts.dTolerance <= 1000.0);
      FUZZ_CHECK(opts.nOffRouteFixes >= 1 && opts.nOffRouteFixes <= 100);
      break;
    case vxdrive::ParseStatus::kError:
      FUZZ_CHECK(!sError.empty());
      break;
    case vxdrive::ParseStatus::kHelp:
      break;
  }
  tagLonLat pt = {0.0, 0.0};
  if (vxdrive::ParseLonLat(args.front(), pt)) {
    FUZZ_CHECK(std::fabs(pt.lon) <= 180.0 && std::fabs(pt.lat) <= 90.0);
  }
  return 0;
}
