// A plane vector that also remembers where it starts and ends.
#ifndef VX_GEOMETRY_CVECTOR_H
#define VX_GEOMETRY_CVECTOR_H

#include <cmath>

#include "geometry/CPoint.h"

/// Components m_ptComp = m_ptEnd - m_ptStart. Every operation but the
/// two-point Set anchors the vector at the origin.
template <class T, unsigned N>
class CVector {
 public:
  CPoint<T, N> m_ptComp;   ///< the components
  CPoint<T, N> m_ptStart;  ///< where the vector starts
  CPoint<T, N> m_ptEnd;    ///< where it ends

  /// The zero vector at the origin.
  CVector() { SetAll(T(0)); }
  /// The vector of components p, anchored at the origin.
  explicit CVector(CPoint<T, N> p) { Set(p); }
  /// The vector from ptStart to ptEnd.
  CVector(CPoint<T, N> ptStart, CPoint<T, N> ptEnd) { Set(ptStart, ptEnd); }
  /// Copies components, start and end.
  CVector(const CVector&) = default;
  /// Copies components, start and end.
  CVector& operator=(const CVector&) = default;
  /// Nothing to release.
  virtual ~CVector() = default;

  /// Components and end (d, ..., d), start at the origin.
  void SetAll(T d) {
    for (unsigned short i = 0; i < CPoint<T, N>::kAxes; ++i) {
      m_ptComp.m_d[i] = d;
      m_ptEnd.m_d[i] = d;
      m_ptStart.m_d[i] = T(0);
    }
  }

  /// Components p, anchored at the origin.
  void Set(CPoint<T, N> p) {
    for (unsigned short i = 0; i < CPoint<T, N>::kAxes; ++i) {
      m_ptComp.m_d[i] = p.m_d[i];
      m_ptStart.m_d[i] = T(0);
      m_ptEnd.m_d[i] = p.m_d[i];
    }
  }

  /// The vector from ptStart to ptEnd.
  void Set(CPoint<T, N> ptStart, CPoint<T, N> ptEnd) {
    m_ptStart = ptStart;
    m_ptEnd = ptEnd;
    for (unsigned short i = 0; i < CPoint<T, N>::kAxes; ++i) {
      m_ptComp.m_d[i] = ptEnd.m_d[i] - ptStart.m_d[i];
    }
  }

  /// Components p, anchored at the origin (as Set(p)).
  CVector& operator=(CPoint<T, N> p) {
    Set(p);
    return *this;
  }

  /// Adds the other's components; the result is anchored at the origin.
  void operator+=(const CVector& other) {
    for (unsigned short i = 0; i < CPoint<T, N>::kAxes; ++i) {
      m_ptComp.m_d[i] += other.m_ptComp.m_d[i];
      m_ptStart.m_d[i] = T(0);
      m_ptEnd.m_d[i] = m_ptComp.m_d[i];
    }
  }

  /// A new vector with the components times d, anchored at the origin.
  CVector operator*(T d) const {
    CPoint<T, N> p;
    for (unsigned short i = 0; i < CPoint<T, N>::kAxes; ++i) {
      p.m_d[i] = m_ptComp.m_d[i] * d;
    }
    return CVector(p);
  }

  /// Dot product of the components.
  T Dot(const CVector& other) const {
    T r = T(0);
    for (unsigned short i = 0; i < CPoint<T, N>::kAxes; ++i) {
      r += m_ptComp.m_d[i] * other.m_ptComp.m_d[i];
    }
    return r;
  }

  /// Squared length, or the length when bSqrt is nonzero.
  T Length(int bSqrt) const {
    T r = T(0);
    for (unsigned short i = 0; i < CPoint<T, N>::kAxes; ++i) {
      r += m_ptComp.m_d[i] * m_ptComp.m_d[i];
    }
    return bSqrt ? std::sqrt(r) : r;
  }

  /// A copy of the components.
  CPoint<T, N> GetComp() const { return m_ptComp; }
};

#endif
