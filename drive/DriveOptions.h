// The options of `vxnav drive` and their parser.
#ifndef VX_DRIVE_DRIVEOPTIONS_H
#define VX_DRIVE_DRIVEOPTIONS_H

#include <cstdint>
#include <string>
#include <vector>

#include "drive/Noise.h"
#include "interfaces/VroTypes.h"
#include "nav/Navigator.h"

namespace vxdrive {

/// The map a plain `vxnav drive` reads: the sample town of the source tree
/// (fixed when the program is built; see VX_DEFAULT_MAP in drive/CMakeLists.txt),
/// or, when that is gone, the copy installed with the program.
const std::string& DefaultMapPath();

/// Settings of one drive. Defaults are those of a plain `vxnav drive`.
struct DriveOptions {
  std::string sMap = DefaultMapPath();         ///< the map file
  bool bFromGiven = false;                     ///< --from was given
  tagLonLat ptFrom{0, 0};                      ///< start (lon, lat)
  bool bToGiven = false;                       ///< --to was given
  tagLonLat ptTo{0, 0};                        ///< destination (lon, lat)
  std::string sGpx;                            ///< replay this recording instead of simulating
  std::uint64_t nSeed = 1;                     ///< seed of the simulated noise
  double dNoise = 3.0;                         ///< GPS position noise, standard deviation in metres
  NoiseModel noiseModel = NoiseModel::kWhite;  ///< how successive position errors relate
  double dHeadingNoise = 5.0;                  ///< heading noise, standard deviation in degrees
  int nMissTurn = 0;         ///< drive straight on at this manoeuvre (1 = first); 0 none
  double dClosure = -1.0;    ///< a road this far ahead (metres) is closed; negative none
  double dTolerance = 25.0;  ///< match radius and off-route threshold in metres
  /// kAccuracy: the match radius grows with the fixes' accuracy (three
  /// times it, at least dTolerance); kFixed: always dTolerance.
  vxnav::TolerancePolicy tolerancePolicy = vxnav::TolerancePolicy::kAccuracy;
  /// Fixes off the route in a row before rerouting. One is not enough: a
  /// single fix can be thrown tens of metres by multipath, or matched off
  /// while a turn is being made; three (about 40 m at 50 km/h) tell a real
  /// departure from noise.
  int nOffRouteFixes = 3;
  std::string sGeoJson;   ///< write the GeoJSON here; empty for none
  std::string sSvg;       ///< write the SVG here; empty for none
  bool bVerbose = false;  ///< one log line per fix too
};

/// What the command line asks for.
enum class ParseStatus { kRun, kHelp, kError };

/// Parses the arguments after "drive" ("--name value" or "--name=value").
/// kError sets sError to the problem: an unknown option, a missing or
/// malformed value, a value out of range, or options that do not go together
/// (the noise, seed and missed turn of a simulation with --gpx).
ParseStatus ParseDriveOptions(const std::vector<std::string>& args, DriveOptions& opts,
                              std::string& sError);

/// Parses "lon,lat" (decimal degrees, longitude -180..180, latitude -90..90).
bool ParseLonLat(const std::string& s, tagLonLat& pt);

/// The usage text of `vxnav drive`.
std::string DriveUsage();

/// The usage text of vxnav as a whole.
std::string MainUsage();

}  // namespace vxdrive

#endif
