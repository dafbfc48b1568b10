// The simulated vehicle: drives along a track of points at the speed of each
// stretch, one step per call, and reports the marked points it passes.
#ifndef VX_DRIVE_VEHICLE_H
#define VX_DRIVE_VEHICLE_H

#include <functional>
#include <vector>

#include "interfaces/VroTypes.h"

namespace vxdrive {

/// One point of a track.
struct TrackPoint {
  tagLonLat pt;   ///< position in degrees
  double dSpeed;  ///< speed in m/s on the stretch from here to the next point
  int nMark;      ///< caller's mark of this point (e.g. a manoeuvre), -1 for none
};

/// A vehicle on a track. The track is the vehicle's own copy.
class Vehicle {
 public:
  /// Called when the vehicle reaches the marked point nIndex of the track;
  /// may replace the track beyond that point with ReplaceAfter.
  using MarkHandler = std::function<void(Vehicle& vehicle, std::size_t nIndex)>;

  /// Puts the vehicle at the first point of the track (nothing to drive when
  /// the track is empty).
  void SetTrack(std::vector<TrackPoint> track);

  /// Drives for dSeconds; on reaching a marked point calls onMark (a point
  /// reached exactly at the end of the step counts). Stops at the track's end.
  void Advance(double dSeconds, const MarkHandler& onMark);

  /// Keeps the track up to point nIndex and appends the given points after it.
  void ReplaceAfter(std::size_t nIndex, const std::vector<TrackPoint>& rest);

  /// The current position; (0, 0) without a track.
  tagLonLat Position() const;

  /// Direction of travel in degrees counterclockwise from east in the plane
  /// of longitude and latitude degrees; -1 at the end of the track.
  double Heading() const;

  /// The speed in m/s of the stretch the vehicle is on; 0 at the end.
  double Speed() const;

  /// True when there is nothing left to drive.
  bool AtEnd() const;

  /// The track, for drawing and tests.
  const std::vector<TrackPoint>& Track() const { return m_track; }

 private:
  double StretchLength(std::size_t i) const;

  std::vector<TrackPoint> m_track;
  std::size_t m_nSegment = 0;  // the vehicle is on the stretch m_nSegment -> m_nSegment + 1
  double m_dAlong = 0.0;       // metres from the start of that stretch
};

}  // namespace vxdrive

#endif
