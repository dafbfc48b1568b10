// The geodesic measures the path library calls by name. Lengths are metres.
#ifndef VX_INTERFACES_VROGEO_H
#define VX_INTERFACES_VROGEO_H

#include "interfaces/VroTypes.h"

/// Length in metres between two points; never negative.
VRO_API double SegmentLength(const tagLonLat& a, const tagLonLat& b);
/// Length in metres of the polyline through wPtNum points: the sum of the
/// SegmentLength of each consecutive pair; 0 for fewer than two points.
VRO_API double LineLength(unsigned short wPtNum, const tagLonLat* pPts);
/// Degrees of longitude (dLon) and of latitude (dLat) that one metre spans at pt.
VRO_API void GetUnitDegree(const tagLonLat& pt, double& dLon, double& dLat);

#endif
