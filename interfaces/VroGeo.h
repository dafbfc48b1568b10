// The geodesic measures the path library calls by name. Lengths are metres on
// the WGS84 ellipsoid; coordinates are degrees.
#ifndef VX_INTERFACES_VROGEO_H
#define VX_INTERFACES_VROGEO_H

#include "interfaces/VroTypes.h"

/// Length in metres of the shortest geodesic between two points; never
/// negative, 0 for two equal points.
///
/// Accuracy: within 0.1 mm of the exact geodesic (as GeographicLib's inverse
/// problem gives it, itself exact to 15 nm) for every pair of points: any
/// distance, latitude and longitude, across the antimeridian, at and near the
/// poles, nearly antipodal. Points whose straight chord c is at most 10 km
/// (every road segment) are measured from that chord and the ellipsoid's
/// curvature, s = c + k^2 c^3 / 24 with the mean of the least and the greatest
/// squared curvature k^2, within 1.04e-17 m^-2 * c^3 + 0.05 um: 0.06 um at
/// 1 km, 10.4 um at 10 km (derivation: docs/geodesic-length.md). Longer
/// segments are solved as GeographicLib's geodesic inverse problem.
///
/// Bad input: a NaN coordinate gives NaN, and so does a latitude beyond +-90
/// degrees, unless the two points are equal (then 0). Longitudes may be
/// any finite number of degrees.
VRO_API double SegmentLength(const tagLonLat& a, const tagLonLat& b);
/// Length in metres of the polyline through wPtNum points: the sum of the
/// SegmentLength of each consecutive pair, in order; 0 for fewer than two
/// points or a null array. The caller keeps the array.
VRO_API double LineLength(unsigned short wPtNum, const tagLonLat* pPts);
/// Degrees of longitude (dLon) and of latitude (dLat) that one metre spans at
/// pt, from the ellipsoid's radii of curvature at pt's latitude: the prime
/// vertical radius N times cos(lat) for longitude, the meridional radius M for
/// latitude. Depends only on the latitude: NaN gives NaN for both; latitudes
/// are clamped to [-89.999999, 89.999999], so the poles (and anything beyond)
/// give large but finite values.
VRO_API void GetUnitDegree(const tagLonLat& pt, double& dLon, double& dLat);

#endif
