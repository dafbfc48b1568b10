// Map points (units of 0.00001 degree) as the doubles the engine hands out:
// each coordinate is the double that truncates back to its integer.
#ifndef VX_ROUTE_DEGREEPOINT_H
#define VX_ROUTE_DEGREEPOINT_H

#include "interfaces/VroTypes.h"
#include "network/RoadGeometry.h"

namespace vxroute {

/// Both coordinates of p through vxnet::BinToDegrees.
inline tagLonLat LonLatOf(const Bin_LonLat& p) {
  return {vxnet::BinToDegrees(p.lon), vxnet::BinToDegrees(p.lat)};
}

}  // namespace vxroute

#endif
