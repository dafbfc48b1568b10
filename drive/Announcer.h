// When to speak: decides, fix by fix, which announcement of the manoeuvre
// ahead is due, saying each one at most once.
#ifndef VX_DRIVE_ANNOUNCER_H
#define VX_DRIVE_ANNOUNCER_H

#include <array>
#include <map>
#include <string>

#include "drive/Manoeuvre.h"

namespace vxdrive {

/// The manoeuvre ahead of the vehicle as the navigator sees it.
struct ManoeuvreAhead {
  std::array<double, 2> key;  ///< identifies the manoeuvre: its point (lon, lat)
  double dDist;               ///< metres along the route to it
  bool bDestination;          ///< the end of the route rather than a turn
  std::string sInstruction;   ///< what to do there, e.g. "turn left onto Elm Street"
                              ///< (unused for the destination)
};

/// What an announcement says about its manoeuvre.
enum class AnnounceStage { kNone, kContinue, kPrepare, kNow };

/// One announcement to speak.
struct Announcement {
  AnnounceStage stage;
  std::string sText;
};

/// Remembers which announcements each manoeuvre has had. The first time a
/// manoeuvre is seen farther than the prepare distance it gets "Continue for
/// ..."; within the prepare distance "In ... <instruction>"; within the now
/// distance "Now <instruction>" (the destination gets no "Now": arriving is
/// announced by the caller). Stages only move forward, so a manoeuvre that
/// the match leaves and finds again is not announced twice.
class Announcer {
 public:
  /// The announcement due at this fix for the manoeuvre ahead at road speed
  /// dSpeed (m/s), or stage kNone when nothing is due.
  Announcement Update(const ManoeuvreAhead& ahead, double dSpeed);

  /// Forgets every manoeuvre (after the route was rebuilt).
  void Reset();

 private:
  std::map<std::array<double, 2>, AnnounceStage> m_stages;
};

}  // namespace vxdrive

#endif
