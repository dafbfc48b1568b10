// Reading restriction relation tags, the legs a turn angle can be, and the
// count of what became of the relations.
#include "map/RestrictionRules.h"

#include <cstring>
#include <string_view>

namespace vxmap {
namespace {

struct KnownKind {
  const char* szValue;
  RestrictionKind kind;
};

constexpr KnownKind kKinds[] = {
    {"no_left_turn", {false, TurnLeg::kLeft}},
    {"no_right_turn", {false, TurnLeg::kRight}},
    {"no_straight_on", {false, TurnLeg::kStraight}},
    {"no_u_turn", {false, TurnLeg::kUTurn}},
    {"no_entry", {false, TurnLeg::kAny}},
    {"no_exit", {false, TurnLeg::kAny}},
    {"only_left_turn", {true, TurnLeg::kLeft}},
    {"only_right_turn", {true, TurnLeg::kRight}},
    {"only_straight_on", {true, TurnLeg::kStraight}},
    {"only_u_turn", {true, TurnLeg::kUTurn}},
};

// True when an except= list (values separated by ";", blanks around them
// allowed) names a vehicle class that takes in cars.
bool ExceptNamesCars(std::string_view list) {
  while (!list.empty()) {
    const std::size_t nEnd = list.find(';');
    std::string_view item = list.substr(0, nEnd);
    list = nEnd == std::string_view::npos ? std::string_view() : list.substr(nEnd + 1);
    while (!item.empty() && item.front() == ' ') item.remove_prefix(1);
    while (!item.empty() && item.back() == ' ') item.remove_suffix(1);
    if (item == "motorcar" || item == "motor_vehicle" || item == "vehicle") return true;
  }
  return false;
}

}  // namespace

const char* FateName(RestrictionFate fate) {
  switch (fate) {
    case RestrictionFate::kApplied:
      return "applied";
    case RestrictionFate::kNotForCars:
      return "not for cars";
    case RestrictionFate::kExceptCars:
      return "except cars";
    case RestrictionFate::kConditional:
      return "conditional";
    case RestrictionFate::kOnRed:
      return "on red";
    case RestrictionFate::kUnknownValue:
      return "unknown value";
    case RestrictionFate::kBadMembers:
      return "bad members";
    case RestrictionFate::kMissingMember:
      return "member not in the map";
    case RestrictionFate::kNotJoined:
      return "members not joined";
    case RestrictionFate::kLegUnknown:
      return "leg not told";
    case RestrictionFate::kCount:
      break;
  }
  return "?";
}

std::uint64_t RestrictionStats::Total() const {
  std::uint64_t n = 0;
  for (const std::uint64_t c : counts) n += c;
  return n;
}

std::string RestrictionStats::Summary() const {
  const std::uint64_t nApplied = Of(RestrictionFate::kApplied);
  std::string s = std::to_string(Total()) + " turn restrictions: " + std::to_string(nApplied) +
                  " applied (" + std::to_string(nAppliedViaWays) + " with via ways), " +
                  std::to_string(Total() - nApplied) + " ignored";
  std::string sWhy;
  for (std::size_t i = 1; i < counts.size(); ++i) {
    if (counts[i] == 0) continue;
    sWhy += sWhy.empty() ? " (" : ", ";
    sWhy += std::to_string(counts[i]);
    sWhy += ' ';
    sWhy += FateName(static_cast<RestrictionFate>(i));
  }
  return s + sWhy + (sWhy.empty() ? "" : ")");
}

bool IsConditionalKey(const char* szKey) {
  for (const char* sz : {"restriction:conditional", "restriction:motorcar:conditional", "day_on",
                         "day_off", "hour_on", "hour_off"}) {
    if (std::strcmp(szKey, sz) == 0) return true;
  }
  return false;
}

RestrictionFate ReadRestrictionTags(const RestrictionTags& tags, RestrictionKind& kind) {
  const char* szValue = tags.szMotorcar != nullptr ? tags.szMotorcar : tags.szRestriction;
  if (tags.bConditional) return RestrictionFate::kConditional;
  if (szValue == nullptr)
    return tags.bOtherVehicle ? RestrictionFate::kNotForCars : RestrictionFate::kUnknownValue;
  if (tags.szExcept != nullptr && ExceptNamesCars(tags.szExcept))
    return RestrictionFate::kExceptCars;
  if (std::string_view(szValue).ends_with("_on_red")) return RestrictionFate::kOnRed;
  for (const KnownKind& k : kKinds) {
    if (std::strcmp(szValue, k.szValue) == 0) {
      kind = k.kind;
      return RestrictionFate::kApplied;
    }
  }
  return RestrictionFate::kUnknownValue;
}

bool CanBeLeg(TurnLeg leg, double dAngle) {
  switch (leg) {
    case TurnLeg::kAny:
      return true;
    case TurnLeg::kLeft:
      return dAngle > 0.0 && dAngle < 180.0;
    case TurnLeg::kRight:
      return dAngle > 180.0 && dAngle < 360.0;
    case TurnLeg::kStraight:
      return dAngle < 45.0 || dAngle > 315.0;
    case TurnLeg::kUTurn:
      return dAngle > 135.0 && dAngle < 225.0;
  }
  return false;
}

}  // namespace vxmap
