// The simulated driver of `vxnav drive`: puts a vehicle on the navigator's
// route, drives it one step per fix, makes the GPS fixes with seeded noise,
// and, when asked, misses a turn and drives straight on until a new route
// comes.
#ifndef VX_DRIVE_SIMULATEDDRIVER_H
#define VX_DRIVE_SIMULATEDDRIVER_H

#include <optional>
#include <vector>

#include "drive/DriveOptions.h"
#include "drive/DriveRecord.h"
#include "drive/Noise.h"
#include "drive/Vehicle.h"
#include "interfaces/VroTypes.h"
#include "nav/Navigator.h"

namespace vxdrive {

/// A simulated driver and vehicle. Keeps references to the options, the map
/// reader (for the roads a driver who missed a turn takes) and the navigator
/// (for the route to follow); the caller keeps all three alive while the
/// driver is used.
class SimulatedDriver {
 public:
  /// One step of the drive: the fix the GPS gives, and what the driver did
  /// on the way there (log lines of kind kDrive), in order.
  struct Step {
    vxnav::Fix fix;
    std::vector<DriveEvent> actions;
  };

  /// The noise is seeded, shaped and sized by opts (nSeed, noiseModel,
  /// dNoise, dHeadingNoise); opts.nMissTurn is the manoeuvre to miss.
  SimulatedDriver(const DriveOptions& opts, VRO_READER* hReader, const vxnav::Navigator& nav);

  /// Puts the vehicle at ptFrom on the navigator's current route, its
  /// manoeuvres marked where the driver may miss one.
  void FollowRoute(const tagLonLat& ptFrom);

  /// The fix at time t, seconds into the drive: after t = 0 the vehicle
  /// first drives on for one second (steps come one second apart).
  Step StepTo(double t);

  /// Called once after each fix: counts the fixes at the track's end and
  /// returns true when the vehicle has stood there for too many to go on.
  bool GivesUp();

  /// The vehicle's true position; (0, 0) before a route is followed.
  tagLonLat Position() const { return m_vehicle.Position(); }

  /// When the driver missed a turn (left the route); -1 never.
  double MissTime() const { return m_dMissTime; }

  /// A note for the log at time t when a turn was to be missed and the drive
  /// never reached it; none otherwise.
  std::optional<DriveEvent> UnmissedTurnNote(double t) const;

 private:
  void OnMark(Vehicle& vehicle, std::size_t nIndex, double t, std::vector<DriveEvent>& actions);
  std::vector<TrackPoint> DriveOn(tagLonLat pt, double dArrive,
                                  std::vector<VRO_FEATURE_ID> excluded) const;

  const DriveOptions& m_opts;
  VRO_READER* m_hReader;
  const vxnav::Navigator& m_nav;
  NoiseSource m_noise;
  GpsNoise m_gpsNoise;
  Vehicle m_vehicle;
  std::vector<vxnav::Navigator::RouteManoeuvre> m_marks;  // the manoeuvres of the track's route
  int m_nManoeuvresReached = 0;
  bool m_bMissed = false;
  double m_dMissTime = -1.0;
  int m_nStanding = 0;  // fixes given at the track's end
};

}  // namespace vxdrive

#endif
