// The length of a short geodesic on the WGS84 ellipsoid, from the straight
// chord between its ends: the chord is exact geometry (no pole, no antimeridian
// and no direction is special), and a geodesic is a space curve whose
// curvature is the ellipsoid's normal curvature, which lies between
// 1/N(pole) and 1/M(equator). Expanding a curve about its midpoint,
//   s = c + k^2 c^3 / 24 + O(c^5),
// with k the curvature at the midpoint. Taking k^2 as the mean of its two
// extremes leaves at most (kmax^2 - kmin^2) / 48 * c^3 = kShortArcCubic * c^3;
// the c^5 term adds below 1 nm at 10 km, rounding below kShortArcRounding.
// The derivation in full: docs/geodesic-length.md. Internal to libVroGeo (and
// its tests); header-only so that the lengths inline into their callers.
#ifndef VX_GEO_SHORTARC_H
#define VX_GEO_SHORTARC_H

#include <cmath>

#include "interfaces/VroTypes.h"

namespace vxgeo {

/// The WGS84 ellipsoid: equatorial radius in metres, flattening, and the
/// eccentricity squared.
inline constexpr double kEquatorialRadius = 6378137.0;
inline constexpr double kFlattening = 1.0 / 298.257223563;
inline constexpr double kEccentricity2 = kFlattening * (2.0 - kFlattening);
/// Radians per degree.
inline constexpr double kRadPerDegree = 0.017453292519943295;

/// The longest chord, in metres, whose geodesic ShortArcLength measures.
inline constexpr double kShortArcLimit = 10000.0;
/// The error bound: |ShortArcLength - geodesic| <= kShortArcCubic * c^3 +
/// kShortArcRounding for a chord c up to kShortArcLimit (10.4 um at 10 km,
/// 0.06 um at 1 km).
inline constexpr double kShortArcCubic = 1.04e-17;
inline constexpr double kShortArcRounding = 5e-8;

namespace detail {

// Squared curvature of a normal section, in units of 1/a^2: greatest along
// the meridian at the equator (1/M = 1/(a (1 - e2))), least at the poles
// (1/N = sqrt(1 - e2) / a).
inline constexpr double kCurvature2Max = 1.0 / ((1.0 - kEccentricity2) * (1.0 - kEccentricity2));
inline constexpr double kCurvature2Min = 1.0 - kEccentricity2;
// The coefficient of c^3 in s - c with the mean squared curvature, per m^2.
inline constexpr double kArcCubic =
    (kCurvature2Max + kCurvature2Min) / 48.0 / (kEquatorialRadius * kEquatorialRadius);
static_assert((kCurvature2Max - kCurvature2Min) / 48.0 / (kEquatorialRadius * kEquatorialRadius) <=
                  kShortArcCubic,
              "the documented bound covers the curvature's range");

// Below this half angle (radians) the sine and cosine below are exact to the
// last bit: the first omitted terms are x^9/9! and x^8/8!, under 1e-20.
inline constexpr double kSmallAngle = 0.01;

inline double SinSmall(double x) {
  const double x2 = x * x;
  return x * (1.0 - x2 / 6.0 * (1.0 - x2 / 20.0 * (1.0 - x2 / 42.0)));
}

inline double CosSmall(double x) {
  const double x2 = x * x;
  return 1.0 - x2 / 2.0 * (1.0 - x2 / 12.0 * (1.0 - x2 / 30.0));
}

}  // namespace detail

/// Sets dLength to the geodesic length in metres between a and b and returns
/// true when both latitudes are within +-90 degrees and the chord between the
/// points is at most kShortArcLimit; otherwise (NaN included) returns false
/// and leaves dLength alone. Any finite longitudes; the poles and the
/// antimeridian need nothing special.
inline bool ShortArcLength(const tagLonLat& a, const tagLonLat& b, double& dLength) {
  using namespace detail;
  constexpr double kHalfRad = 0.5 * kRadPerDegree;
  // Half the latitude difference. Beyond kSmallAngle (1.15 degrees of
  // latitude apart) the chord exceeds 126 km: no short arc.
  const double d = (b.lat - a.lat) * kHalfRad;
  if (!(std::fabs(d) <= kSmallAngle && std::fabs(a.lat) <= 90.0 && std::fabs(b.lat) <= 90.0)) {
    return false;
  }
  // Sine and cosine of both latitudes from those of their mean and of d.
  const double m = (a.lat + b.lat) * kHalfRad;
  const double sm = std::sin(m), cm = std::cos(m);
  const double sd = SinSmall(d), cd = CosSmall(d);
  const double s1 = sm * cd - cm * sd, c1 = cm * cd + sm * sd;
  const double s2 = sm * cd + cm * sd, c2 = cm * cd - sm * sd;
  // Each point's distance from the axis (p) and height (z), in units of a.
  const double r1 = 1.0 / std::sqrt(1.0 - kEccentricity2 * s1 * s1);
  const double r2 = 1.0 / std::sqrt(1.0 - kEccentricity2 * s2 * s2);
  const double p1 = c1 * r1, p2 = c2 * r2;
  const double dp = p2 - p1;
  const double dz = (1.0 - kEccentricity2) * (s2 * r2 - s1 * r1);
  // Half the longitude difference, wrapped across the antimeridian; only
  // its sine squared enters, so any whole turns left over do not matter.
  double dLon = b.lon - a.lon;
  if (std::fabs(dLon) > 180.0) {
    dLon -= std::copysign(360.0, dLon);
  }
  const double h = dLon * kHalfRad;
  const double sh = std::fabs(h) <= kSmallAngle ? SinSmall(h) : std::sin(h);
  // In the meridian plane half-way between the points: the chord's
  // components (p2 - p1) cos h, (p2 + p1) sin h and dz.
  const double c = kEquatorialRadius * std::sqrt(dp * dp + dz * dz + 4.0 * p1 * p2 * sh * sh);
  if (!(c <= kShortArcLimit)) {
    return false;
  }
  dLength = c * (1.0 + kArcCubic * c * c);
  return true;
}

}  // namespace vxgeo

#endif
