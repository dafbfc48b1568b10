// Seeded noise for simulated GPS fixes: the same seed gives the same numbers
// on every platform (the generator and the Gaussian transform are our own,
// not the standard library's implementation-defined distributions), white
// or correlated over time as real GPS errors are.
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

/// How the position errors of successive fixes relate.
enum class NoiseModel {
  kWhite,        ///< independent from fix to fix
  kGaussMarkov,  ///< first-order Gauss-Markov: each error keeps exp(-dt/tau) of the last
};

/// Position errors of simulated fixes, east and north in metres, each axis
/// with standard deviation dSigma under either model.
class GpsNoise {
 public:
  /// dCorrelation is the Gauss-Markov correlation time in seconds.
  GpsNoise(NoiseModel model, double dSigma, double dCorrelation)
      : m_model(model), m_dSigma(dSigma), m_dCorrelation(dCorrelation) {}

  /// The error of the next fix, dt seconds after the one before, drawn from
  /// src (two draws per fix under either model, east first).
  void Next(NoiseSource& src, double dt, double& dEast, double& dNorth);

 private:
  NoiseModel m_model;
  double m_dSigma;
  double m_dCorrelation;
  bool m_bStarted = false;
  double m_dEast = 0.0;
  double m_dNorth = 0.0;
};

}  // namespace vxdrive

#endif
