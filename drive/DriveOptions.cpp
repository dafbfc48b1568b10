// Command-line parsing of `vxnav drive`: every value checked, nothing guessed.
#include "drive/DriveOptions.h"

#include <charconv>
#include <cmath>
#include <filesystem>
#include <functional>
#include <map>

namespace vxdrive {

const std::string& DefaultMapPath() {
  // The source tree's sample town when it is there; else the copy installed
  // beside the program (<prefix>/share/VX_CPath/ for <prefix>/bin/vxnav).
  static const std::string sPath = [] {
    std::error_code ec;
    if (std::filesystem::exists(VX_DEFAULT_MAP, ec)) {
      return std::string(VX_DEFAULT_MAP);
    }
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) {
      const std::filesystem::path installed =
          exe.parent_path().parent_path() / "share" / "VX_CPath" / "sample-town.osm";
      if (std::filesystem::exists(installed, ec)) {
        return installed.string();
      }
    }
    return std::string(VX_DEFAULT_MAP);
  }();
  return sPath;
}

namespace {

bool ParseDouble(const std::string& s, double& d) {
  const char* b = s.data();
  const char* e = s.data() + s.size();
  if (b != e && *b == '+') {
    ++b;
  }
  if (b == e) {
    return false;
  }
  const auto [p, ec] = std::from_chars(b, e, d);
  return ec == std::errc() && p == e && std::isfinite(d);
}

template <class T>
bool ParseInteger(const std::string& s, T& n) {
  const auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), n);
  return !s.empty() && ec == std::errc() && p == s.data() + s.size();
}

// A number in [dMin, dMax].
bool ParseRange(const std::string& s, double dMin, double dMax, double& d) {
  return ParseDouble(s, d) && d >= dMin && d <= dMax;
}

}  // namespace

bool ParseLonLat(const std::string& s, tagLonLat& pt) {
  const std::size_t comma = s.find(',');
  if (comma == std::string::npos) {
    return false;
  }
  double lon = 0;
  double lat = 0;
  if (!ParseRange(s.substr(0, comma), -180.0, 180.0, lon) ||
      !ParseRange(s.substr(comma + 1), -90.0, 90.0, lat)) {
    return false;
  }
  pt = {lon, lat};
  return true;
}

ParseStatus ParseDriveOptions(const std::vector<std::string>& args, DriveOptions& opts,
                              std::string& sError) {
  DriveOptions o = opts;
  bool bSimulationOption = false;
  // Options that take a value: each reads it into o, false when malformed.
  using Reader = std::function<bool(const std::string&)>;
  const std::map<std::string, std::pair<Reader, const char*>> valued = {
      {"--map",
       {[&](const std::string& v) {
          o.sMap = v;
          return !v.empty();
        },
        "a file name"}},
      {"--from",
       {[&](const std::string& v) { return o.bFromGiven = ParseLonLat(v, o.ptFrom); },
        "lon,lat in degrees"}},
      {"--to",
       {[&](const std::string& v) { return o.bToGiven = ParseLonLat(v, o.ptTo); },
        "lon,lat in degrees"}},
      {"--gpx",
       {[&](const std::string& v) {
          o.sGpx = v;
          return !v.empty();
        },
        "a file name"}},
      {"--seed",
       {[&](const std::string& v) {
          bSimulationOption = true;
          return ParseInteger(v, o.nSeed);
        },
        "a whole number from 0 to 18446744073709551615"}},
      {"--noise",
       {[&](const std::string& v) {
          bSimulationOption = true;
          return ParseRange(v, 0, 1000, o.dNoise);
        },
        "metres from 0 to 1000"}},
      {"--heading-noise",
       {[&](const std::string& v) {
          bSimulationOption = true;
          return ParseRange(v, 0, 180, o.dHeadingNoise);
        },
        "degrees from 0 to 180"}},
      {"--miss-turn",
       {[&](const std::string& v) {
          bSimulationOption = true;
          return ParseInteger(v, o.nMissTurn) && o.nMissTurn >= 1;
        },
        "a manoeuvre number from 1"}},
      {"--closure",
       {[&](const std::string& v) { return ParseRange(v, 0, 1e7, o.dClosure); },
        "metres from 0 to 10000000"}},
      {"--tolerance",
       {[&](const std::string& v) { return ParseRange(v, 1, 1000, o.dTolerance); },
        "metres from 1 to 1000"}},
      {"--off-route-fixes",
       {[&](const std::string& v) {
          return ParseInteger(v, o.nOffRouteFixes) && o.nOffRouteFixes >= 1 &&
                 o.nOffRouteFixes <= 100;
        },
        "a count from 1 to 100"}},
      {"--geojson",
       {[&](const std::string& v) {
          o.sGeoJson = v;
          return !v.empty();
        },
        "a file name"}},
      {"--svg",
       {[&](const std::string& v) {
          o.sSvg = v;
          return !v.empty();
        },
        "a file name"}},
  };
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      return ParseStatus::kHelp;
    }
    if (arg == "--verbose" || arg == "-v") {
      o.bVerbose = true;
      continue;
    }
    std::string name = arg;
    std::string value;
    bool bHasValue = false;
    if (const std::size_t eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
      name = arg.substr(0, eq);
      value = arg.substr(eq + 1);
      bHasValue = true;
    }
    const auto it = valued.find(name);
    if (it == valued.end()) {
      sError = (arg.rfind("-", 0) == 0 ? "unknown option " : "unexpected argument ") + arg;
      return ParseStatus::kError;
    }
    if (!bHasValue) {
      if (i + 1 >= args.size()) {
        sError = name + " needs a value (" + it->second.second + ")";
        return ParseStatus::kError;
      }
      value = args[++i];
    }
    if (!it->second.first(value)) {
      sError = name + " \"" + value + "\": expected " + it->second.second;
      return ParseStatus::kError;
    }
  }
  if (!o.sGpx.empty() && bSimulationOption) {
    sError =
        "--seed, --noise, --heading-noise and --miss-turn belong to a simulated drive, not to "
        "--gpx";
    return ParseStatus::kError;
  }
  opts = o;
  return ParseStatus::kRun;
}

std::string DriveUsage() {
  return "usage: vxnav drive [options]\n"
         "Drives a route on a map and prints the guidance a driver hears.\n"
         "\n"
         "  --map FILE             OpenStreetMap file (.osm, .osm.pbf, .osm.bz2) or\n"
         "                         compiled map (vxnav build-map);\n"
         "                         default: the sample town\n"
         "  --from LON,LAT         start; default: 13.3955,52.4975 on the sample town,\n"
         "                         a tenth inside the west edge of another map\n"
         "                         (with --gpx: the first recorded point)\n"
         "  --to LON,LAT           destination; default: 13.4045,52.5030 on the sample\n"
         "                         town, a tenth inside the east edge of another map\n"
         "                         (with --gpx: the last recorded point)\n"
         "  --gpx FILE             replay a recorded drive (GPX 1.0 or 1.1, track or route)\n"
         "                         instead of simulating one\n"
         "  --seed N               seed of the simulated GPS noise (default 1)\n"
         "  --noise METRES         GPS position noise, standard deviation (default 3)\n"
         "  --heading-noise DEG    heading noise, standard deviation (default 5)\n"
         "  --miss-turn N          drive straight on at the Nth manoeuvre\n"
         "  --closure METRES       the road this far ahead is closed: route around it\n"
         "  --tolerance METRES     match radius, the off-route distance (default 25)\n"
         "  --off-route-fixes N    fixes off the route in a row before a reroute (default 3)\n"
         "  --geojson FILE         write route(s), fixes, matches and manoeuvres as GeoJSON\n"
         "  --svg FILE             draw the map, route(s), fixes and manoeuvres as SVG\n"
         "  --verbose, -v          also log every fix\n"
         "  --help, -h             this text\n"
         "\n"
         "Exit status: 0 arrived (or the recording ended), 1 the drive failed (no route,\n"
         "not arrived, an output not written), 2 bad options, map or GPX file.\n";
}

std::string MainUsage() {
  return "usage: vxnav COMMAND [options]\n"
         "\n"
         "  vxnav drive [options]   drive a route on a map with guidance, rerouting and\n"
         "                          pictures (vxnav drive --help for the options)\n"
         "  vxnav build-map IN OUT  compile the OpenStreetMap file IN into the map file\n"
         "                          OUT (e.g. country.vxmap), which opens in milliseconds\n"
         "  vxnav guidance          print the guidance items of a small embedded route\n"
         "  vxnav help              this text\n";
}

}  // namespace vxdrive
