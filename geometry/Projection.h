// The nearest point of a plane segment to a point, and the distance between
// two points, in raw degrees (longitude not scaled by latitude).
#ifndef VX_GEOMETRY_PROJECTION_H
#define VX_GEOMETRY_PROJECTION_H

#include "geometry/CPoint.h"
#include "geometry/CSegment.h"
#include "geometry/CVector.h"

/// Squared distance between two points, or the distance when bSqrt is nonzero.
inline double DistPointToPoint(CPoint<double, 2> pt1, CPoint<double, 2> pt2, int bSqrt) {
  CVector<double, 2> v(pt1, pt2);
  return v.Length(bSqrt);
}

/// Projects pt onto seg, clamped to its ends; writes the closest point to
/// *pClosest (never null) and returns the squared distance to it, or the
/// distance when bSqrt is nonzero. Non-finite input gives non-finite output.
inline double DistPointToSegment(CPoint<double, 2> pt, CSegment<double, 2> seg,
                                 CPoint<double, 2>* pClosest, int bSqrt) {
  const CVector<double, 2> v(seg.m_ptStart, seg.m_ptEnd);
  const CVector<double, 2> w(seg.m_ptStart, pt);
  const double c1 = w.Dot(v);
  if (c1 <= 0) {
    const CVector<double, 2> temp(seg.m_ptStart, pt);
    *pClosest = seg.m_ptStart;
    return temp.Length(bSqrt);
  }
  const double c2 = v.Dot(v);
  if (c2 <= c1) {
    const CVector<double, 2> temp(seg.m_ptEnd, pt);
    *pClosest = seg.m_ptEnd;
    return temp.Length(bSqrt);
  }
  const double b = c1 / c2;
  CVector<double, 2> temp(seg.m_ptStart);
  temp += v * b;
  const CPoint<double, 2> ptB = temp.GetComp();
  *pClosest = ptB;
  return DistPointToPoint(ptB, pt, bSqrt);
}

#endif
