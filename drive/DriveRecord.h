// What a drive leaves behind for the outputs: the routes as planned and
// rebuilt, the fixes and their matches, the manoeuvres, closures and events.
#ifndef VX_DRIVE_DRIVERECORD_H
#define VX_DRIVE_DRIVERECORD_H

#include <string>
#include <vector>

#include "interfaces/VroTypes.h"

namespace vxdrive {

/// A route as the path held it at one moment.
struct RecordedRoute {
  std::string sLabel;          ///< "planned", "reroute 1", "around closure", ...
  double dTime;                ///< seconds into the drive
  double dLength;              ///< metres
  std::vector<tagLonLat> pts;  ///< the route's points in order of travel
};

/// One fix and what matching made of it.
struct RecordedFix {
  double dTime;       ///< seconds into the drive
  tagLonLat pt;       ///< the measured position
  double dHeading;    ///< direction of travel given to the match; negative for none
  int nResult;        ///< the match result: 0 none, 1 on route, 2 arrived, 3 off route
  bool bHasMatch;     ///< ptMatch is set (results 1, 2 and 3)
  tagLonLat ptMatch;  ///< the matched point on the route
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

/// One line of the log.
struct DriveEvent {
  double dTime;  ///< seconds into the drive
  std::string
      sKind;  ///< "route", "announce", "junction", "off-route", "reroute", "closure", "arrive", ...
  std::string sText;
  tagLonLat pt;  ///< where it happened (the fix, or the manoeuvre point)
};

/// Everything recorded during one drive.
struct DriveRecord {
  std::vector<RecordedRoute> routes;
  std::vector<RecordedFix> fixes;
  std::vector<RecordedManoeuvre> manoeuvres;
  std::vector<RecordedClosure> closures;
  std::vector<DriveEvent> events;
};

}  // namespace vxdrive

#endif
