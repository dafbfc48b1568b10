// Integer map points to handed-out doubles that truncate back exactly.
#include "route/DegreePoint.h"

#include <cmath>
#include <limits>

namespace vxroute {

double DegreeOf(std::int32_t n) {
  // n / 100000.0 is within one ulp of the true quotient; its product with
  // 100000.0 may land just below |n| and truncate to the next integer toward
  // zero. Step away from zero until the product truncates to n. A few steps
  // at most; the bound only guards against an endless loop.
  const double dTarget = static_cast<double>(n);
  const double dAway =
      n < 0 ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
  double x = dTarget / 100000.0;
  for (int i = 0; i < 64 && std::trunc(x * 100000.0) != dTarget; ++i) {
    x = std::nextafter(x, dAway);
  }
  return x;
}

tagLonLat LonLatOf(const Bin_LonLat& p) { return {DegreeOf(p.lon), DegreeOf(p.lat)}; }

}  // namespace vxroute
