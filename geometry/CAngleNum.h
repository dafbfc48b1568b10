// Directions in whole angle units (N to the full turn) without inverse
// trigonometry: a table of tangents filled once and searched.
#ifndef VX_GEOMETRY_CANGLENUM_H
#define VX_GEOMETRY_CANGLENUM_H

#include <algorithm>
#include <cmath>

/// Directions counted counterclockwise from the positive x axis, in units of
/// a full turn / N. Only CAngleNum<3600> (tenths of a degree) is used.
template <unsigned N>
class CAngleNum {
 public:
  static constexpr unsigned kQuarter = N / 4;            ///< a quarter turn: north
  static constexpr unsigned kHalf = N / 2;               ///< a half turn: west
  static constexpr unsigned kThreeQuarters = 3 * N / 4;  ///< three quarters: south

  /// An angle object; the table is class-wide and filled by the first use.
  CAngleNum() = default;
  /// Copies nothing but the object: the table is shared.
  CAngleNum(const CAngleNum&) = default;
  /// Assigns nothing but the object: the table is shared.
  CAngleNum& operator=(const CAngleNum&) = default;
  /// Leaves the shared table alone.
  virtual ~CAngleNum() = default;

  /// Fills the tangent table once. Safe when several threads make the first
  /// call at the same time (the fill runs exactly once, the others wait).
  static void InitTable() {
    static const int s_nFilled = Fill();
    static_cast<void>(s_nFilled);
  }

  /// Direction from (dX1, dY1) to (dX2, dY2), 0..N, truncated toward the
  /// x axis; 0 for equal points. A non-finite coordinate (or a difference
  /// that overflows) gives 0.
  static unsigned short GetAngle(double dX1, double dY1, double dX2, double dY2) {
    InitTable();
    const double dx = dX2 - dX1;
    const double dy = dY2 - dY1;
    if (!std::isfinite(dx) || !std::isfinite(dy)) {
      return 0;
    }
    if (dx == 0) {
      if (dy == 0) {
        return 0;
      }
      return static_cast<unsigned short>(dy > 0 ? kQuarter : kThreeQuarters);
    }
    if (dy == 0) {
      return static_cast<unsigned short>(dx > 0 ? 0 : kHalf);
    }
    double t = dy / dx;
    if (t < 0) {
      t *= -1.0;
    }
    // The first entry greater than t, as a scan from entry 0 finds it. A
    // bucket of u = |dy| / (|dx| + |dy|), which grows with t, gives a guess;
    // the two loops then walk to that very index, which is unique because the
    // entries increase strictly. The guess only decides how far they walk.
    const double u = std::fabs(dy) / (std::fabs(dx) + std::fabs(dy));
    unsigned i = s_wGuess[static_cast<unsigned>(u * kBuckets)];
    while (i > 0 && s_dTan[i - 1] > t) {
      --i;
    }
    while (i <= kQuarter && !(t < s_dTan[i])) {
      ++i;
    }
    const unsigned m = i - 1;
    unsigned r = 0;
    if (dx > 0 && dy > 0) {
      r = m;
    } else if (dx < 0 && dy > 0) {
      r = kHalf - m;
    } else if (dx > 0) {
      r = N - m;
    } else {
      r = kHalf + m;
    }
    return static_cast<unsigned short>(r);
  }

  /// tan of k units for k < N/4; 1000000.0 for the quarter turn.
  static double s_dTan[N / 4 + 1];
  /// 1 once s_dTan is filled.
  static int s_bInit;

 private:
  // Buckets of u in [0, 1]; u = 1 (dx too small to count) has its own.
  static constexpr unsigned kBuckets = 4096;
  // For each bucket, the first table index whose entry exceeds the slope at
  // the bucket's lower end.
  static unsigned short s_wGuess[kBuckets + 1];

  static int Fill() {
    // pi / 1800 radians per tenth of a degree, scaled for other N.
    const double dStep = 0.0017453292519943296 * (3600.0 / N);
    for (unsigned short k = 0; k < kQuarter; ++k) {
      const double a = k * dStep;
      s_dTan[k] = std::tan(a);
    }
    s_dTan[kQuarter] = 1000000.0;
    for (unsigned b = 0; b <= kBuckets; ++b) {
      const double u = static_cast<double>(b) / kBuckets;
      const double t = b == kBuckets ? 1e300 : u / (1.0 - u);
      s_wGuess[b] =
          static_cast<unsigned short>(std::upper_bound(s_dTan, s_dTan + kQuarter + 1, t) - s_dTan);
    }
    s_bInit = 1;
    return 1;
  }
};

template <unsigned N>
double CAngleNum<N>::s_dTan[N / 4 + 1] = {};
template <unsigned N>
int CAngleNum<N>::s_bInit = 0;
template <unsigned N>
unsigned short CAngleNum<N>::s_wGuess[CAngleNum<N>::kBuckets + 1] = {};

#endif
