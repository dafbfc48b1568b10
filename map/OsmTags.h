// How the importer reads the OpenStreetMap tags of a way: road class, one-way
// direction, speed limit, level and car access. Plain functions on tag values
// (null for an absent tag); they keep no state.
#ifndef VX_MAP_OSMTAGS_H
#define VX_MAP_OSMTAGS_H

#include <cstdint>

namespace vxmap {

/// Road class of a highway value, 0 when cars do not drive there:
///   1 motorway, motorway_link        5 tertiary, tertiary_link
///   2 trunk, trunk_link              6 unclassified, residential
///   3 primary, primary_link          7 living_street, service, road
///   4 secondary, secondary_link
int RoadClassOf(const char* szHighway);

/// Direction in which a way may be driven, from its oneway, junction and
/// highway tags: +1 first node to last only, -1 last to first only, 0 both.
/// oneway=yes/true/1 gives +1, oneway=-1/reverse gives -1, oneway=no/false/0
/// gives 0; without one of those values, junction=roundabout/circular and
/// highway=motorway/motorway_link give +1 and any other road 0.
/// oneway=alternating (one lane, each direction in turn, as at a narrow
/// bridge) gives 0: drivable both ways, without a time penalty.
/// oneway=reversible changes direction with the time of day: bRoutable is set
/// false for it (0 is returned); bRoutable is true otherwise.
int OneWayOf(const char* szOneWay, const char* szJunction, const char* szHighway, bool& bRoutable);

/// True for junction=roundabout and junction=circular: the way is (part of)
/// a roundabout.
bool IsRoundabout(const char* szJunction);

/// Speed limit in km/h from a maxspeed value: "50", "50 km/h", "50 kmh",
/// "50 kph" as they stand, "30 mph" converted and rounded; 0 for anything
/// else ("none", "signals", "DE:urban", decimals, values above 500).
std::uint16_t ParseMaxSpeed(const char* szMaxSpeed);

/// Level of a way: its layer when that is an integer from -9 to 9; else 1 for
/// a bridge, -1 for a tunnel (any value but "no"), 0 otherwise.
int LevelOf(const char* szLayer, const char* szBridge, const char* szTunnel);

/// True when the most specific of the access tags present (motorcar, then
/// motor_vehicle, vehicle, access) is "no" or "private".
bool CarAccessDenied(const char* szMotorcar, const char* szMotorVehicle, const char* szVehicle,
                     const char* szAccess);

}  // namespace vxmap

#endif
