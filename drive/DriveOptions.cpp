// Command-line parsing of `vxnav drive`: every value checked, nothing guessed.
#include "drive/DriveOptions.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <functional>
#include <initializer_list>

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

namespace {

// One option of `vxnav drive`: its names, the value it takes (empty for a
// flag), what a valid value is, its lines in the usage text, and what it
// does to the settings. The usage text and the parser both read this table.
struct OptionSpec {
  const char* szName;
  const char* szAlias;  // a short form, or null
  const char* szValue;  // the value's placeholder in the usage; null for a flag
  const char* szExpected;
  const char* szHelp;  // lines of the usage text, separated by '\n'
  bool bSimulation;    // belongs to a simulated drive, not to --gpx
  std::function<bool(const std::string&, DriveOptions&)> apply;
};

bool Text(const std::string& v, std::string& s) {
  s = v;
  return !v.empty();
}

template <class E>
bool Choice(const std::string& v, std::initializer_list<std::pair<const char*, E>> choices, E& e) {
  for (const auto& [szName, value] : choices) {
    if (v == szName) {
      e = value;
      return true;
    }
  }
  return false;
}

// Over the size limit: the option table, one entry per option, is one list.
// NOLINTNEXTLINE(readability-function-size)
const std::vector<OptionSpec>& Options() {
  static const std::vector<OptionSpec> table = {
      {"--map", nullptr, "FILE", "a file name",
       "OpenStreetMap file (.osm, .osm.pbf, .osm.bz2) or compiled\nmap (vxnav build-map); "
       "default: the sample town",
       false, [](const std::string& v, DriveOptions& o) { return Text(v, o.sMap); }},
      {"--from", nullptr, "LON,LAT", "lon,lat in degrees",
       "start; default: 13.3955,52.4975 on the sample town,\na tenth inside the west edge of "
       "another map\n(with --gpx: the first recorded point)",
       false,
       [](const std::string& v, DriveOptions& o) {
         return o.bFromGiven = ParseLonLat(v, o.ptFrom);
       }},
      {"--to", nullptr, "LON,LAT", "lon,lat in degrees",
       "destination; default: 13.4045,52.5030 on the sample\ntown, a tenth inside the east edge "
       "of another map\n(with --gpx: the last recorded point)",
       false,
       [](const std::string& v, DriveOptions& o) { return o.bToGiven = ParseLonLat(v, o.ptTo); }},
      {"--gpx", nullptr, "FILE", "a file name",
       "replay a recorded drive (GPX 1.0 or 1.1, track or route)\ninstead of simulating one; "
       "accuracy from <hdop> x 5 m\nor an <accuracy> element (metres), else 10 m",
       false, [](const std::string& v, DriveOptions& o) { return Text(v, o.sGpx); }},
      {"--seed", nullptr, "N", "a whole number from 0 to 18446744073709551615",
       "seed of the simulated GPS noise (default 1)", true,
       [](const std::string& v, DriveOptions& o) { return ParseInteger(v, o.nSeed); }},
      {"--noise", nullptr, "METRES", "metres from 0 to 1000",
       "GPS position noise, standard deviation per axis,\nreported as the fixes' accuracy "
       "(default 3)",
       true,
       [](const std::string& v, DriveOptions& o) { return ParseRange(v, 0, 1000, o.dNoise); }},
      {"--noise-model", nullptr, "MODEL", "white or gauss-markov",
       "white (default): independent errors; gauss-markov:\nerrors correlated over 30 s", true,
       [](const std::string& v, DriveOptions& o) {
         return Choice(v,
                       {std::pair{"white", NoiseModel::kWhite},
                        std::pair{"gauss-markov", NoiseModel::kGaussMarkov}},
                       o.noiseModel);
       }},
      {"--heading-noise", nullptr, "DEG", "degrees from 0 to 180",
       "heading noise, standard deviation (default 5)", true,
       [](const std::string& v, DriveOptions& o) {
         return ParseRange(v, 0, 180, o.dHeadingNoise);
       }},
      {"--miss-turn", nullptr, "N", "a manoeuvre number from 1",
       "drive straight on at the Nth manoeuvre, then on\nuntil the new route comes", true,
       [](const std::string& v, DriveOptions& o) {
         return ParseInteger(v, o.nMissTurn) && o.nMissTurn >= 1;
       }},
      {"--closure", nullptr, "METRES", "metres from 0 to 10000000",
       "the road this far ahead is closed: route around it", false,
       [](const std::string& v, DriveOptions& o) { return ParseRange(v, 0, 1e7, o.dClosure); }},
      {"--tolerance", nullptr, "METRES", "metres from 1 to 1000",
       "match radius, the off-route distance (default 25;\nthe least one under the accuracy "
       "policy)",
       false,
       [](const std::string& v, DriveOptions& o) { return ParseRange(v, 1, 1000, o.dTolerance); }},
      {"--tolerance-policy", nullptr, "POLICY", "accuracy or fixed",
       "accuracy (default): the radius is at least three\ntimes the fix's accuracy; fixed: "
       "always --tolerance",
       false,
       [](const std::string& v, DriveOptions& o) {
         return Choice(v,
                       {std::pair{"accuracy", vxnav::TolerancePolicy::kAccuracy},
                        std::pair{"fixed", vxnav::TolerancePolicy::kFixed}},
                       o.tolerancePolicy);
       }},
      {"--off-route-fixes", nullptr, "N", "a count from 1 to 100",
       "fixes off the route in a row before a reroute (default 3)", false,
       [](const std::string& v, DriveOptions& o) {
         return ParseInteger(v, o.nOffRouteFixes) && o.nOffRouteFixes >= 1 &&
                o.nOffRouteFixes <= 100;
       }},
      {"--geojson", nullptr, "FILE", "a file name",
       "write route(s), fixes, matches and manoeuvres as GeoJSON", false,
       [](const std::string& v, DriveOptions& o) { return Text(v, o.sGeoJson); }},
      {"--svg", nullptr, "FILE", "a file name",
       "draw the map, route(s), fixes and manoeuvres as SVG", false,
       [](const std::string& v, DriveOptions& o) { return Text(v, o.sSvg); }},
      {"--verbose", "-v", nullptr, "", "also log every fix", false,
       [](const std::string&, DriveOptions& o) { return o.bVerbose = true; }},
      {"--help", "-h", nullptr, "", "this text", false,
       [](const std::string&, DriveOptions&) { return true; }},
  };
  return table;
}

const OptionSpec* FindOption(const std::string& sName) {
  for (const OptionSpec& entry : Options()) {
    if (sName == entry.szName || (entry.szAlias != nullptr && sName == entry.szAlias)) {
      return &entry;
    }
  }
  return nullptr;
}

}  // namespace

// Over the complexity limit: one pass over the arguments with each refusal in
// place; to be split into reading one option and checking the whole.
// NOLINTNEXTLINE(readability-function-cognitive-complexity)
ParseStatus ParseDriveOptions(const std::vector<std::string>& args, DriveOptions& opts,
                              std::string& sError) {
  DriveOptions o = opts;
  bool bSimulationOption = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    std::string name = arg;
    std::string value;
    bool bHasValue = false;
    if (const std::size_t eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
      name = arg.substr(0, eq);
      value = arg.substr(eq + 1);
      bHasValue = true;
    }
    const OptionSpec* entry = FindOption(name);
    if (entry == nullptr || (entry->szValue == nullptr && bHasValue)) {
      sError = (arg.rfind('-', 0) == 0 ? "unknown option " : "unexpected argument ") + arg;
      return ParseStatus::kError;
    }
    if (std::string(entry->szName) == "--help") {
      return ParseStatus::kHelp;
    }
    if (entry->szValue != nullptr && !bHasValue) {
      if (i + 1 >= args.size()) {
        sError = name + " needs a value (" + entry->szExpected + ")";
        return ParseStatus::kError;
      }
      value = args[++i];
    }
    if (!entry->apply(value, o)) {
      sError = name + " \"" + value + "\": expected " + entry->szExpected;
      return ParseStatus::kError;
    }
    bSimulationOption = bSimulationOption || entry->bSimulation;
  }
  if (!o.sGpx.empty() && bSimulationOption) {
    std::string sNames;
    for (const OptionSpec& entry : Options()) {
      if (entry.bSimulation) {
        sNames += std::string(sNames.empty() ? "" : ", ") + entry.szName;
      }
    }
    sError = sNames + " belong to a simulated drive, not to --gpx";
    return ParseStatus::kError;
  }
  opts = o;
  return ParseStatus::kRun;
}

std::string DriveUsage() {
  // Option names and values in a column of kColumn characters, the help
  // text beside them.
  constexpr std::size_t kColumn = 25;
  std::string s =
      "usage: vxnav drive [options]\n"
      "Drives a route on a map and prints the guidance a driver hears.\n\n";
  for (const OptionSpec& entry : Options()) {
    std::string head = std::string("  ") + entry.szName;
    if (entry.szValue != nullptr) {
      head += std::string(" ") + entry.szValue;
    }
    if (entry.szAlias != nullptr) {
      head += std::string(", ") + entry.szAlias;
    }
    std::string sHelp = entry.szHelp;
    for (std::size_t pos = 0; pos <= sHelp.size();) {
      const std::size_t nl = std::min(sHelp.find('\n', pos), sHelp.size());
      head.resize(std::max(head.size() + 1, kColumn), ' ');
      s += head + sHelp.substr(pos, nl - pos) + "\n";
      head.clear();
      pos = nl + 1;
    }
  }
  return s +
         "\nExit status: 0 arrived (or the recording ended), 1 the drive failed (no route,\n"
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
