// The map reader's integer points, to and from degrees.
#ifndef VX_DRIVE_DIRECTIONS_H
#define VX_DRIVE_DIRECTIONS_H

#include <cstdint>

#include "interfaces/VroTypes.h"

namespace vxdrive {

/// The reader's integer point of a point in degrees (truncated toward zero,
/// as the junction description forms it); coordinates beyond the 32-bit
/// range, and NaN, give the range's ends.
Bin_LonLat ToBin(const tagLonLat& pt);

/// Degrees of a reader's integer coordinate: the double nearest to
/// nUnits / 100000 that ToBin turns back into nUnits.
double FromBin(std::int32_t nUnits);

}  // namespace vxdrive

#endif
