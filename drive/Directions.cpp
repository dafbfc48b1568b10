// Integer points.
#include "drive/Directions.h"

#include <climits>
#include <cmath>
#include <cstdint>

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

double FromBin(std::int32_t nUnits) {
  double d = nUnits / 100000.0;
  for (int i = 0; i < 4 && ToUnits(d) != nUnits; ++i) {
    d = std::nextafter(d, nUnits >= 0 ? HUGE_VAL : -HUGE_VAL);
  }
  return d;
}

}  // namespace vxdrive
