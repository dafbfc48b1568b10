// Geodesic measures on the WGS84 ellipsoid. SegmentLength measures a chord of
// up to 10 km with the short-arc formula of ShortArc.h and anything longer (and
// any point beyond the poles or with a NaN coordinate) with GeographicLib's
// geodesic inverse; the rules and the error bound are in interfaces/VroGeo.h.
#include "interfaces/VroGeo.h"

#include <GeographicLib/Geodesic.hpp>
#include <cmath>

#include "geo/ShortArc.h"

namespace {

constexpr double kPoleLimit = 89.999999;

}  // namespace

double SegmentLength(const tagLonLat& a, const tagLonLat& b) {
  if (a.lon == b.lon && a.lat == b.lat) {
    return 0.0;
  }
  double s12 = 0.0;
  if (vxgeo::ShortArcLength(a, b, s12)) {
    return s12;
  }
  GeographicLib::Geodesic::WGS84().Inverse(a.lat, a.lon, b.lat, b.lon, s12);
  return s12;
}

double LineLength(unsigned short wPtNum, const tagLonLat* pPts) {
  if (pPts == nullptr || wPtNum < 2) {
    return 0.0;
  }
  double dSum = 0.0;
  for (unsigned short i = 0; i + 1 < wPtNum; ++i) {
    dSum += SegmentLength(pPts[i], pPts[i + 1]);
  }
  return dSum;
}

void GetUnitDegree(const tagLonLat& pt, double& dLon, double& dLat) {
  if (std::isnan(pt.lat)) {
    dLon = dLat = std::nan("");
    return;
  }
  using namespace vxgeo;
  const double dPhi = std::fmax(-kPoleLimit, std::fmin(kPoleLimit, pt.lat)) * kRadPerDegree;
  const double s = std::sin(dPhi);
  const double w = 1.0 - kEccentricity2 * s * s;
  const double dPrimeVertical = kEquatorialRadius / std::sqrt(w);
  const double dMeridional = kEquatorialRadius * (1.0 - kEccentricity2) / (w * std::sqrt(w));
  dLon = 1.0 / (dPrimeVertical * std::cos(dPhi) * kRadPerDegree);
  dLat = 1.0 / (dMeridional * kRadPerDegree);
}
