// How the importer reads a turn restriction relation: which tags bind a car
// at all times, the leg of the junction a restriction names and the turn
// angles that can be that leg, and what became of each relation (applied, or
// ignored and why), counted for the build-map summary. Plain functions on tag
// values (null for an absent tag); they keep no state. The rules are
// described in docs/restrictions.md.
#ifndef VX_MAP_RESTRICTIONRULES_H
#define VX_MAP_RESTRICTIONRULES_H

#include <array>
#include <cstdint>
#include <string>

namespace vxmap {

/// The leg a restriction names, judged by the turn angle (degrees
/// counterclockwise from straight on: 0 straight, 90 left, 270 right).
/// kAny: no_entry and no_exit, which name ways rather than a leg.
enum class TurnLeg : std::uint8_t { kAny, kLeft, kRight, kStraight, kUTurn };

/// A restriction kind a car obeys: no_* (bOnly false) forbids the leg named,
/// only_* (bOnly true) forbids every other way on.
struct RestrictionKind {
  bool bOnly;
  TurnLeg leg;
};

/// What became of a restriction relation (type=restriction). The first six
/// are decided from the relation alone, the others when it is mapped onto
/// the road network.
enum class RestrictionFate : std::uint8_t {
  kApplied,        ///< forbids at least one turn or sequence of roads
  kNotForCars,     ///< only restriction:<vehicle> tags for other vehicles (hgv, bus, ...)
  kExceptCars,     ///< except= names motorcar, motor_vehicle or vehicle
  kConditional,    ///< restriction:conditional or day_on/day_off/hour_on/hour_off present
  kOnRed,          ///< a *_on_red value: forbids the turn only while the light is red
  kUnknownValue,   ///< no restriction value, or one that is not a kind listed below
  kBadMembers,     ///< not: from way(s), one via node or via way(s), to way(s)
  kMissingMember,  ///< a member way or the via node is not among the drivable roads read
  kNotJoined,      ///< the members do not meet, or cannot be driven through one another
  kLegUnknown,     ///< the leg the restriction names cannot be told by the turn angle
  kCount
};

/// A short text for a fate, e.g. "on red" (for the summary).
const char* FateName(RestrictionFate fate);

/// Relations counted by fate; the applied ones with via ways counted apart too.
struct RestrictionStats {
  std::array<std::uint64_t, static_cast<std::size_t>(RestrictionFate::kCount)> counts{};
  std::uint64_t nAppliedViaWays = 0;

  void Add(RestrictionFate fate) { ++counts[static_cast<std::size_t>(fate)]; }
  std::uint64_t Of(RestrictionFate fate) const { return counts[static_cast<std::size_t>(fate)]; }
  std::uint64_t Total() const;
  /// One line, e.g. "12 turn restrictions: 9 applied (2 with via ways), 3
  /// ignored (2 on red, 1 not for cars)".
  std::string Summary() const;
};

/// The tags of a restriction relation that decide whether it binds a car.
struct RestrictionTags {
  const char* szRestriction = nullptr;  ///< restriction=
  const char* szMotorcar = nullptr;     ///< restriction:motorcar=
  const char* szExcept = nullptr;       ///< except=
  bool bConditional = false;   ///< restriction:conditional, restriction:motorcar:conditional,
                               ///< day_on, day_off, hour_on or hour_off present
  bool bOtherVehicle = false;  ///< any other restriction:* key present
};

/// True when a key of a restriction relation makes it conditional (see
/// RestrictionTags::bConditional).
bool IsConditionalKey(const char* szKey);

/// Decides whether a restriction binds a car at all times and, when it does,
/// its kind (kApplied is returned). The value is restriction:motorcar's, else
/// restriction's. It binds a car when it has a value, no conditional tag, no
/// except naming cars, and the value is one of no_left_turn, no_right_turn,
/// no_straight_on, no_u_turn, no_entry, no_exit, only_left_turn,
/// only_right_turn, only_straight_on, only_u_turn.
RestrictionFate ReadRestrictionTags(const RestrictionTags& tags, RestrictionKind& kind);

/// True when a turn by dAngle degrees (0 straight, 90 left, 270 right, in
/// [0, 360)) can be the leg: straight on below 45 degrees either side; left
/// above 0 and below 180; right above 180 and below 360; U-turn above 135
/// and below 225; kAny every angle.
bool CanBeLeg(TurnLeg leg, double dAngle);

}  // namespace vxmap

#endif
