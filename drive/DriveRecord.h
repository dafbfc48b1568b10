// What a drive leaves behind for the outputs: the routes as planned and
// rebuilt, the fixes and their matches, the manoeuvres, closures and events.
#ifndef VX_DRIVE_DRIVERECORD_H
#define VX_DRIVE_DRIVERECORD_H

#include <string>
#include <vector>

#include "interfaces/VroTypes.h"
#include "nav/Navigator.h"

namespace vxdrive {

/// A route as the path held it at one moment.
struct RecordedRoute {
  std::string sLabel;          ///< "planned", "reroute 1", "around closure", ...
  double dTime;                ///< seconds into the drive
  double dLength;              ///< metres
  std::vector<tagLonLat> pts;  ///< the route's points in order of travel
};

/// One fix and what the navigator made of it.
struct RecordedFix {
  double dTime;              ///< seconds into the drive
  tagLonLat pt;              ///< the measured position
  double dHeading;           ///< direction of travel given to the match; negative for none
  vxnav::MatchResult match;  ///< CPath::TestPoint's result
  vxnav::RouteState state;   ///< the navigator's judgement (off the route also by heading)
  bool bHasMatch;            ///< ptMatch is set
  tagLonLat ptMatch;         ///< the matched point on the route
};

/// A manoeuvre as announced with "Now ...".
struct RecordedManoeuvre {
  int nNumber;            ///< 1, 2, ... in order of announcement
  double dTime;           ///< seconds into the drive
  tagLonLat pt;           ///< the manoeuvre point
  std::string sClass;     ///< "left", "slight right", ...
  std::string sText;      ///< the instruction
  std::string sJunction;  ///< the roads of the junction, as logged
};

/// A closed road the route was rebuilt around.
struct RecordedClosure {
  double dTime;
  std::string sRoad;
  std::vector<tagLonLat> pts;
};

/// The kinds of line in the log: the navigator's events, and the drive's own.
enum class LogKind {
  kRoute,     ///< a route planned or rebuilt
  kAnnounce,  ///< an announcement
  kJunction,  ///< the roads of a junction
  kOffRoute,  ///< the vehicle left the route
  kReroute,   ///< a new route asked for
  kClosure,   ///< a closed road
  kArrive,    ///< arrived
  kFix,       ///< one fix (--verbose)
  kDrive,     ///< the simulated driver misses a turn
  kStop,      ///< the simulation gives up
  kEnd,       ///< the recording ends
  kNote,      ///< a remark on the options
};

/// The kind's name in the log and the outputs: "route", "announce",
/// "junction", "off-route", "reroute", "closure", "arrive", "fix", "drive",
/// "stop", "end", "note".
const char* LogKindName(LogKind kind);

/// One line of the log.
struct DriveEvent {
  double dTime;  ///< seconds into the drive
  LogKind kind;
  std::string sText;
  tagLonLat pt;  ///< where it happened (the fix, or the manoeuvre point)
};

/// Everything recorded during one drive.
struct DriveRecord {
  double dMissTime = -1;  ///< when the driver missed a turn (left the route); -1 never
  std::vector<RecordedRoute> routes;
  std::vector<RecordedFix> fixes;
  std::vector<RecordedManoeuvre> manoeuvres;
  std::vector<RecordedClosure> closures;
  std::vector<DriveEvent> events;
};

}  // namespace vxdrive

#endif
