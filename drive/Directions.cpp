// Plane directions and integer points.
#include "drive/Directions.h"

#include <climits>
#include <cmath>
#include <cstdint>
#include <numbers>

namespace vxdrive {

namespace {

// Degrees to reader units, truncated; values beyond the 32-bit range (and
// NaN) are held at its ends instead of overflowing the conversion.
std::int32_t ToUnits(double dDegrees) {
  const double d = std::trunc(dDegrees * 100000.0);
  if (!(d > -2147483648.0)) {
    return INT32_MIN;
  }
  return d < 2147483647.0 ? static_cast<std::int32_t>(d) : INT32_MAX;
}

}  // namespace

Bin_LonLat ToBin(const tagLonLat& pt) { return {ToUnits(pt.lon), ToUnits(pt.lat)}; }

double PlaneDirection(const tagLonLat& a, const tagLonLat& b) {
  const double dx = b.lon - a.lon;
  const double dy = b.lat - a.lat;
  if (dx == 0 && dy == 0) {
    return -1.0;
  }
  double d = std::atan2(dy, dx) * 180.0 / std::numbers::pi;
  if (d < 0) {
    d += 360.0;
  }
  return d >= 360.0 ? 0.0 : d;
}

double DirectionDifference(double a, double b) {
  const double d = std::fmod(std::fabs(a - b), 360.0);
  return d > 180.0 ? 360.0 - d : d;
}

}  // namespace vxdrive
