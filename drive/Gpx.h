// Recorded drives in GPX 1.0 and 1.1: the points of the tracks (or, when the
// file has no track points, of the routes), read with a real XML parser.
#ifndef VX_DRIVE_GPX_H
#define VX_DRIVE_GPX_H

#include <string>
#include <string_view>
#include <vector>

#include "interfaces/VroTypes.h"

namespace vxdrive {

/// Metres of horizontal accuracy per unit of a point's <hdop>: a typical
/// user range error of a consumer receiver.
constexpr double kMetresPerHdop = 5.0;

/// One recorded fix.
struct GpxPoint {
  tagLonLat pt;      ///< longitude, latitude in degrees
  bool bHasTime;     ///< dTime is set
  double dTime;      ///< seconds since 1970-01-01 UTC
  bool bHasCourse;   ///< dCourse is set (GPX 1.0 only)
  double dCourse;    ///< degrees clockwise from north, 0 to below 360
  bool bHasSpeed;    ///< dSpeed is set (GPX 1.0 <speed>)
  double dSpeed;     ///< metres per second, 0 or more
  double dAccuracy;  ///< horizontal accuracy in metres: an <accuracy> element of the
                     ///< point or its extensions, else <hdop> x kMetresPerHdop; -1 none
};

/// The fixes of one GPX file.
struct GpxTrack {
  std::string sVersion;          ///< "1.0" or "1.1"
  bool bFromRoute = false;       ///< points come from rte/rtept (no trkpt in the file)
  std::vector<GpxPoint> points;  ///< in document order, at least one
};

/// Parses GPX text. The points of every trk/trkseg/trkpt in document order;
/// when there is none, those of every rte/rtept. On failure returns false and
/// sets sError to the problem, with the line number where there is one.
/// Refused: text that is not XML, a root other than gpx, a version other
/// than 1.0 and 1.1 (taken from the version attribute, else from the
/// namespace), a point without a valid lat or lon (numbers in -90..90 and
/// -180..180), a time or course that does not parse, a speed, hdop or
/// accuracy that is not a number from 0 (below 1e6), no point at all.
bool ParseGpx(std::string_view text, GpxTrack& track, std::string& sError);

/// Reads and parses a GPX file. On failure sError names the file and the
/// problem ("drive.gpx: line 3: ...").
bool ReadGpxFile(const std::string& sPath, GpxTrack& track, std::string& sError);

/// Parses an ISO 8601 date and time as GPX writes it
/// ("2024-05-01T10:00:00Z", fractions of a second and "+02:00" offsets
/// allowed) into seconds since 1970-01-01 UTC; false when it does not parse
/// or names a day the calendar does not have (2023-02-29).
bool ParseIsoTime(std::string_view s, double& dSeconds);

}  // namespace vxdrive

#endif
