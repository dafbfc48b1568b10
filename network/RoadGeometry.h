// Small measures on the road network shared by the reader, the route engine
// and the drive simulator: map units as degrees, the speed assumed for a road
// class, and bearings on the plane of raw coordinates.
#ifndef VX_NETWORK_ROADGEOMETRY_H
#define VX_NETWORK_ROADGEOMETRY_H

#include <cmath>
#include <cstdint>
#include <iterator>
#include <numbers>

namespace vxnet {

/// Degrees of a coordinate in Bin_LonLat units, for handing map points out as
/// tagLonLat: the double nearest nUnits / 100000 whose product with 100000.0,
/// truncated toward zero, gives nUnits back (junction description finds map
/// points that way). Plain division misses for about 3 values in 100.
inline double BinToDegrees(std::int32_t nUnits) {
  double d = nUnits / 100000.0;
  for (int i = 0; i < 4 && static_cast<std::int64_t>(d * 100000.0) != nUnits; ++i)
    d = std::nextafter(d, nUnits >= 0 ? HUGE_VAL : -HUGE_VAL);
  return d;
}

/// Speed in km/h used for a road class (1 motorway .. 7 residential) when the
/// feature has no maxspeed of its own; 30 for any other class.
inline double ClassSpeedKmh(unsigned nRoadClass) {
  static constexpr double kSpeeds[] = {30.0, 110.0, 90.0, 70.0, 60.0, 50.0, 40.0, 30.0};
  return nRoadClass < std::size(kSpeeds) ? kSpeeds[nRoadClass] : kSpeeds[0];
}

/// Bearing of the step from (dX1, dY1) to (dX2, dY2) on the plane of raw
/// coordinates, degrees counterclockwise from east in [0, 360); 0 for no step.
inline double BearingOf(double dX1, double dY1, double dX2, double dY2) {
  double a = std::atan2(dY2 - dY1, dX2 - dX1) * 180.0 / std::numbers::pi;
  if (a < 0) {
    a += 360.0;
  }
  return a >= 360.0 ? 0.0 : a;
}

/// Smallest absolute difference of two bearings in degrees, 0..180.
inline double BearingGap(double a, double b) {
  const double d = std::fmod(std::fabs(a - b), 360.0);
  return d > 180.0 ? 360.0 - d : d;
}

}  // namespace vxnet

#endif
