// Directions and points in the plane of longitude and latitude degrees, the
// plane in which the path library measures turns, and the map reader's
// integer points.
#ifndef VX_DRIVE_DIRECTIONS_H
#define VX_DRIVE_DIRECTIONS_H

#include <cstdint>

#include "interfaces/VroTypes.h"

namespace vxdrive {

/// Direction from a to b in degrees counterclockwise from east, in the plane
/// of longitude and latitude degrees (as the path library measures), 0 to
/// below 360; -1 when the points coincide.
double PlaneDirection(const tagLonLat& a, const tagLonLat& b);

/// The reader's integer point of a point in degrees (truncated toward zero,
/// as the junction description forms it); coordinates beyond the 32-bit
/// range, and NaN, give the range's ends.
Bin_LonLat ToBin(const tagLonLat& pt);

}  // namespace vxdrive

#endif
