// Helpers shared by the navigator's sources: announcement stages per
// manoeuvre, plane directions, and which guidance items are manoeuvres.
#ifndef VX_NAV_NAVINTERNAL_H
#define VX_NAV_NAVINTERNAL_H

#include <array>
#include <map>

#include "nav/Navigator.h"

namespace vxnav {

/// Whether a turn is a manoeuvre by its angle and names alone: the end of
/// the route, or any turn that is not straight on, except a slight bend that
/// stays on a road of the same name.
bool IsManoeuvreTurn(double dTurnAngle, const char* szName, const char* szNextName);

/// Distances at which a manoeuvre is announced.
struct AnnounceDistances {
  double dPrepare;  ///< the "In ..." announcement
  double dNow;      ///< the "Now ..." announcement
};

/// The announcement distances for a road speed in m/s (non-finite or
/// negative speeds count as 0) under the settings.
AnnounceDistances DistancesForSpeed(const Settings& settings, double dSpeed);

/// Remembers which stages each manoeuvre (by its point) has had. Stages only
/// move forward, so a manoeuvre that the match leaves and finds again is not
/// announced twice.
class Announcer {
 public:
  /// The stage due now for the manoeuvre at ptKey dDist metres ahead, or
  /// false when none is: "Continue" the first time it is seen beyond the
  /// prepare distance, "Prepare" within it, "Now" within the now distance
  /// (never for the destination).
  bool Due(const tagLonLat& ptKey, double dDist, bool bDestination, const AnnounceDistances& dist,
           AnnounceStage& stage);

  /// Forgets every manoeuvre (after the route was rebuilt).
  void Reset() { m_stages.clear(); }

 private:
  // -1 seen without a stage said; else the AnnounceStage said last.
  std::map<std::array<double, 2>, int> m_stages;
};

}  // namespace vxnav

#endif
