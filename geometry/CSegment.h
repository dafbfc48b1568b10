// A straight segment of the map plane between two points.
#ifndef VX_GEOMETRY_CSEGMENT_H
#define VX_GEOMETRY_CSEGMENT_H

#include "geometry/CPoint.h"

/// The segment from m_ptStart to m_ptEnd; both unset until written.
template <class T, unsigned N>
class CSegment {
 public:
  CPoint<T, N> m_ptStart;  ///< where the segment starts
  CPoint<T, N> m_ptEnd;    ///< where the segment ends
};

#endif
