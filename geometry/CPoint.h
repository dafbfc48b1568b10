// A point of the map plane: x the longitude, y the latitude, in degrees.
#ifndef VX_GEOMETRY_CPOINT_H
#define VX_GEOMETRY_CPOINT_H

/// A point with N coordinates of type T; element 0 is x, element 1 is y.
/// The default constructor leaves the coordinates unset.
template <class T, unsigned N>
class CPoint {
 public:
  static_assert(N > 0 && N <= 0xFFFF, "the axes are counted with 16 bits");
  /// Number of axes, of the type of the loop counters over them.
  static constexpr unsigned short kAxes = N;

  T m_d[N];  ///< the coordinates, x first

  /// A point with unset coordinates.
  CPoint() = default;
  /// Copies the coordinates.
  CPoint(const CPoint&) = default;
  /// Copies the coordinates, x first (element by element in index order).
  CPoint& operator=(const CPoint&) = default;

  /// This point minus b, coordinate by coordinate.
  CPoint operator-(const CPoint& b) const {
    CPoint r;
    for (unsigned short i = 0; i < kAxes; ++i) {
      r.m_d[i] = m_d[i] - b.m_d[i];
    }
    return r;
  }
};

#endif
