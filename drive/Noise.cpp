// Gaussian noise by the Box-Muller transform over a 64-bit Mersenne twister.
#include "drive/Noise.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace vxdrive {

double NoiseSource::Uniform() {
  // 53 random bits, shifted by one so that 0 never occurs (log(0) below).
  return (static_cast<double>(m_gen() >> 11) + 1.0) * 0x1.0p-53;
}

double NoiseSource::Gaussian(double dSigma) {
  double z = 0.0;
  if (m_bHasSpare) {
    m_bHasSpare = false;
    z = m_dSpare;
  } else {
    const double r = std::sqrt(-2.0 * std::log(Uniform()));
    const double t = 2.0 * std::numbers::pi * Uniform();
    z = r * std::cos(t);
    m_dSpare = r * std::sin(t);
    m_bHasSpare = true;
  }
  return dSigma > 0 ? z * dSigma : 0.0;
}

void GpsNoise::Next(NoiseSource& src, double dt, double& dEast, double& dNorth) {
  const double e = src.Gaussian(m_dSigma);
  const double n = src.Gaussian(m_dSigma);
  if (m_model == NoiseModel::kWhite || !m_bStarted || !(m_dCorrelation > 0)) {
    // The first error of a correlated series is drawn from its stationary
    // distribution, as for white noise.
    m_dEast = e;
    m_dNorth = n;
    m_bStarted = true;
  } else {
    const double phi = std::exp(-std::max(0.0, dt) / m_dCorrelation);
    const double k = std::sqrt(1.0 - phi * phi);
    m_dEast = phi * m_dEast + k * e;
    m_dNorth = phi * m_dNorth + k * n;
  }
  dEast = m_dEast;
  dNorth = m_dNorth;
}

}  // namespace vxdrive
