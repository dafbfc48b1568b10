// `vxnav drive`: plans a route on a map, drives it (simulated, or replayed
// from GPX) fix by fix through the path library's matching, announces the
// manoeuvres, describes the junctions, reroutes when off the route or around
// a closed road, and writes the log, GeoJSON and SVG.
#ifndef VX_DRIVE_DRIVESESSION_H
#define VX_DRIVE_DRIVESESSION_H

#include <ostream>

#include "drive/DriveOptions.h"
#include "drive/DriveRecord.h"

namespace vxdrive {

/// Runs one drive. The log goes to out, one line per event (and per fix
/// with bVerbose); errors and load progress go to err. When pRecord is not
/// null it receives everything recorded. Returns the exit status: 0 arrived
/// (or the recording ended), 1 no route or not arrived or an output not
/// written, 2 the map, the GPX file or an output path refused.
int RunDrive(const DriveOptions& opts, std::ostream& out, std::ostream& err,
             DriveRecord* pRecord = nullptr);

}  // namespace vxdrive

#endif
