// Fuzzes `vxnav drive --gpx` on the sample town: the fuzzer's bytes become a
// recorded drive (GPX 1.0 or 1.1, track or route; points near the town or
// anywhere, times in any order or missing, courses or none), which vxnav
// replays through matching, guidance, junction description and rerouting,
// writing its SVG and GeoJSON pictures. Checks the exit status, that the
// pictures were written and that the SVG is well-formed XML.
#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <pugixml.hpp>
#include <sstream>
#include <string>

#include "drive/Vxnav.h"
#include "fuzz/FuzzValues.h"

namespace {

// This process's temporary files, removed at exit.
struct TempFiles {
  std::string sBase = "/tmp/vx_fuzz_drive_" + std::to_string(getpid());
  std::string sGpx = sBase + ".gpx";
  std::string sSvg = sBase + ".svg";
  std::string sJson = sBase + ".geojson";
  ~TempFiles() {
    std::remove(sGpx.c_str());
    std::remove(sSvg.c_str());
    std::remove(sJson.c_str());
  }
};

std::string IsoTime(std::time_t t) {
  std::tm tm{};
  gmtime_r(&t, &tm);
  char sz[32];
  std::strftime(sz, sizeof sz, "%Y-%m-%dT%H:%M:%SZ", &tm);
  return sz;
}

// A GPX text from the fuzzer's bytes, with at least one point.
std::string MakeGpx(FuzzedDataProvider& fdp) {
  const bool b10 = fdp.ConsumeBool();
  const bool bRoute = fdp.ConsumeIntegralInRange<int>(0, 7) == 0;
  std::ostringstream s;
  s.precision(17);
  s << "<gpx version=\"" << (b10 ? "1.0" : "1.1") << "\">" << (bRoute ? "<rte>" : "<trk><trkseg>");
  std::time_t t = 1714557600;
  const int nPoints = fdp.ConsumeIntegralInRange<int>(1, 150);
  for (int i = 0; i < nPoints && (i == 0 || fdp.remaining_bytes() > 0); ++i) {
    double dLon = 13.3955 + fdp.ConsumeIntegralInRange<int>(-600, 1500) * 1e-5;
    double dLat = 52.4975 + fdp.ConsumeIntegralInRange<int>(-600, 1000) * 1e-5;
    if (fdp.ConsumeIntegralInRange<int>(0, 31) == 0) {
      dLon = fdp.ConsumeFloatingPointInRange<double>(-180.0, 180.0);
      dLat = fdp.ConsumeFloatingPointInRange<double>(-90.0, 90.0);
    }
    s << (bRoute ? "<rtept" : "<trkpt") << " lat=\"" << dLat << "\" lon=\"" << dLon << "\">";
    switch (fdp.ConsumeIntegralInRange<int>(0, 3)) {
      case 0:
        break;  // no time
      case 1:
        t -= fdp.ConsumeIntegralInRange<int>(0, 100);  // back in time
        s << "<time>" << IsoTime(t) << "</time>";
        break;
      default:
        t += fdp.ConsumeIntegralInRange<int>(0, 30);
        s << "<time>" << IsoTime(t) << "</time>";
        break;
    }
    if (b10 && fdp.ConsumeBool()) {
      s << "<course>" << fdp.ConsumeIntegralInRange<int>(0, 3599) / 10.0 << "</course>";
    }
    s << (bRoute ? "</rtept>" : "</trkpt>");
  }
  s << (bRoute ? "</rte>" : "</trkseg></trk>") << "</gpx>";
  return s.str();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
  static const TempFiles files;
  FuzzedDataProvider fdp(pData, nSize);
  const std::string sGpx = MakeGpx(fdp);
  std::FILE* f = std::fopen(files.sGpx.c_str(), "wb");
  if (f == nullptr) {
    return 0;
  }
  const bool bWritten = std::fwrite(sGpx.data(), 1, sGpx.size(), f) == sGpx.size();
  std::fclose(f);
  if (!bWritten) {
    return 0;
  }
  std::remove(files.sSvg.c_str());
  std::remove(files.sJson.c_str());
  const std::string sTolerance = std::to_string(fdp.ConsumeIntegralInRange<int>(1, 100));
  const char* argv[] = {"vxnav",       "drive",
                        "--gpx",       files.sGpx.c_str(),
                        "--svg",       files.sSvg.c_str(),
                        "--geojson",   files.sJson.c_str(),
                        "--tolerance", sTolerance.c_str(),
                        "--verbose"};
  std::ostringstream out;
  std::ostringstream err;
  const int r = vxdrive::RunVxnav(static_cast<int>(std::size(argv)), argv, out, err);
  // 0 or 1 (no route between the recording's ends); never a usage error for
  // a well-formed recording.
  if (r != 0 && r != 1) {
    std::fprintf(stderr, "%s\n%s", sGpx.c_str(), err.str().c_str());
  }
  FUZZ_CHECK(r == 0 || r == 1);
  if (r == 0) {
    FUZZ_CHECK(std::filesystem::file_size(files.sSvg) > 0);
    FUZZ_CHECK(std::filesystem::file_size(files.sJson) > 0);
    pugi::xml_document svg;
    FUZZ_CHECK(svg.load_file(files.sSvg.c_str()));
    FUZZ_CHECK(std::string(svg.document_element().name()) == "svg");
  }
  return 0;
}
