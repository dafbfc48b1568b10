// A GPX recording as the navigator's fixes: times that never go back, the
// heading of each point, and the direction the recording starts in.
#ifndef VX_DRIVE_GPXFIXES_H
#define VX_DRIVE_GPXFIXES_H

#include <cstddef>
#include <vector>

#include "drive/Gpx.h"
#include "nav/Navigator.h"

namespace vxdrive {

/// The fixes of a recording, one per point, and what was mended on the way.
struct GpxFixes {
  std::vector<vxnav::Fix> fixes;
  /// Points (indices) whose recorded time lies before the point before it.
  std::vector<std::size_t> backwards;
  /// Seconds each of them went back.
  std::vector<double> backSeconds;
  /// The direction of travel at the first point (as Fix::dHeading); -1 unknown.
  double dStartHeading = -1.0;
};

/// Turns a recording into fixes. Times are seconds from the first point;
/// when the first point has none, every point is one second after the one
/// before; a later point without a time comes one second after the one
/// before; a point recorded earlier than the one before it (joined
/// recordings, a clock set back) comes one second after it, and the points
/// after it keep their spacing from it, so that times never decrease. The
/// heading is the recorded course, else the direction from the point before
/// when that lies more than 2 m away, else the heading before. The start
/// heading is the first point's course, else the direction to the first of
/// the next nine points that lies at least 10 m and two accuracies (the
/// first point's, else the navigator's default of 10 m) away.
GpxFixes FixesOfGpx(const GpxTrack& track);

}  // namespace vxdrive

#endif
