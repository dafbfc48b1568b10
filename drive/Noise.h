// Seeded noise for simulated GPS fixes: the same seed gives the same numbers
// on every platform (the generator and the Gaussian transform are our own,
// not the standard library's implementation-defined distributions).
#ifndef VX_DRIVE_NOISE_H
#define VX_DRIVE_NOISE_H

#include <cstdint>
#include <random>

namespace vxdrive {

/// A deterministic source of Gaussian noise.
class NoiseSource {
 public:
  explicit NoiseSource(std::uint64_t nSeed) : m_gen(nSeed) {}

  /// A uniform number in (0, 1].
  double Uniform();

  /// A normally distributed number with mean 0 and standard deviation dSigma
  /// (0 when dSigma is not positive).
  double Gaussian(double dSigma);

 private:
  std::mt19937_64 m_gen;
  bool m_bHasSpare = false;
  double m_dSpare = 0.0;
};

}  // namespace vxdrive

#endif
