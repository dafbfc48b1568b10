// Geodesic measures on the WGS84 ellipsoid, computed with GeographicLib.
//
// SegmentLength is the geodesic distance in metres; LineLength the sum of
// SegmentLength over consecutive pairs (0 for fewer than two points or a null
// array). GetUnitDegree gives the degrees per metre from the ellipsoid's radii
// of curvature at the point's latitude: the prime vertical radius N times
// cos(lat) for longitude, the meridional radius M for latitude.
//
// Bad input: a NaN coordinate gives NaN lengths, as does a latitude beyond
// +-90 degrees. GetUnitDegree depends only on the latitude: a NaN latitude
// gives NaN for both results; latitudes are clamped to [-89.999999, 89.999999]
// so that the poles (and anything beyond them) give large but finite values.
#include "interfaces/VroGeo.h"

#include <GeographicLib/Constants.hpp>
#include <GeographicLib/Geodesic.hpp>
#include <cmath>

namespace {

const GeographicLib::Geodesic& Wgs84() { return GeographicLib::Geodesic::WGS84(); }

constexpr double kPoleLimit = 89.999999;
constexpr double kDegree = 0.017453292519943295;  // radians per degree

}  // namespace

double SegmentLength(const tagLonLat& a, const tagLonLat& b) {
  if (a.lon == b.lon && a.lat == b.lat) {
    return 0.0;
  }
  double s12 = 0.0;
  Wgs84().Inverse(a.lat, a.lon, b.lat, b.lon, s12);
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
  const double dPhi = std::fmax(-kPoleLimit, std::fmin(kPoleLimit, pt.lat)) * kDegree;
  const double a = GeographicLib::Constants::WGS84_a();
  const double f = GeographicLib::Constants::WGS84_f();
  const double e2 = f * (2.0 - f);
  const double s = std::sin(dPhi);
  const double w = 1.0 - e2 * s * s;
  const double dPrimeVertical = a / std::sqrt(w);
  const double dMeridional = a * (1.0 - e2) / (w * std::sqrt(w));
  dLon = 1.0 / (dPrimeVertical * std::cos(dPhi) * kDegree);
  dLat = 1.0 / (dMeridional * kDegree);
}
