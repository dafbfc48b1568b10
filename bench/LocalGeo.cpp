// Cheap plane measures in place of the geodesic library, for timing the
// matching machinery on its own: lengths on a sphere of the mean radius with
// longitude scaled by the cosine of the latitude. Linked into a
// benchmark, these definitions are the ones the path library calls.
#include <cmath>

#include "interfaces/VroGeo.h"

namespace {

constexpr double kRadius = 6371008.8;
constexpr double kRadPerDegree = 0.017453292519943295;

}  // namespace

namespace {

// Metres between a and b with longitude scaled by dCos.
double PlaneLength(const tagLonLat& a, const tagLonLat& b, double dCos) {
  const double dx = (b.lon - a.lon) * dCos;
  const double dy = b.lat - a.lat;
  return std::sqrt(dx * dx + dy * dy) * kRadPerDegree * kRadius;
}

}  // namespace

double SegmentLength(const tagLonLat& a, const tagLonLat& b) {
  return PlaneLength(a, b, std::cos((a.lat + b.lat) * 0.5 * kRadPerDegree));
}

// One scale for the whole line, from its first point's latitude.
double LineLength(unsigned short wPtNum, const tagLonLat* pPts) {
  if (pPts == nullptr || wPtNum < 2) {
    return 0.0;
  }
  const double dCos = std::cos(pPts[0].lat * kRadPerDegree);
  double dSum = 0.0;
  for (unsigned short i = 1; i < wPtNum; ++i) {
    dSum += PlaneLength(pPts[i - 1], pPts[i], dCos);
  }
  return dSum;
}

void GetUnitDegree(const tagLonLat& pt, double& dLon, double& dLat) {
  dLat = 1.0 / (kRadPerDegree * kRadius);
  dLon = dLat / std::cos(pt.lat * kRadPerDegree);
}
