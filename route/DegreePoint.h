// Conversion of the map's integer points (units of 0.00001 degree) to the
// doubles the engine hands out, such that every handed-out coordinate x
// gives its integer back as x * 100000.0 truncated toward zero.
#ifndef VX_ROUTE_DEGREEPOINT_H
#define VX_ROUTE_DEGREEPOINT_H

#include <cstdint>

#include "interfaces/VroTypes.h"

namespace vxroute {

/// The double nearest to n / 100000 whose product with 100000.0, truncated
/// toward zero, is exactly n.
double DegreeOf(std::int32_t n);

/// Both coordinates of p through DegreeOf.
tagLonLat LonLatOf(const Bin_LonLat& p);

}  // namespace vxroute

#endif
