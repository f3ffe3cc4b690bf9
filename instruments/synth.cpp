#include "instruments/synth.hpp"

#include <algorithm>

namespace zorvik::synth {

namespace {

// The correction that turns a unit jump at phase 0 into a band-limited step
// (two-sample polynomial residual).
double blepResidual(double p, double dt) {
  if (p < dt) {
    double x = p / dt;
    return x + x - x * x - 1.0;
  }
  if (p > 1.0 - dt) {
    double x = (p - 1.0) / dt;
    return x * x + x + x + 1.0;
  }
  return 0.0;
}

}  // namespace

double sawWave(double p, double dt) { return 2.0 * p - 1.0 - blepResidual(p, dt); }

double squareWave(double p, double dt) {
  double half = p + 0.5;
  half -= std::floor(half);
  return (p < 0.5 ? 1.0 : -1.0) + blepResidual(p, dt) - blepResidual(half, dt);
}

StateVariable::Out StateVariable::process(double x, double cutoffHz, double q) {
  double g = std::tan(kPi * std::min(cutoffHz, 0.45 * kRate) / kRate);
  double k = 1.0 / q;
  double a1 = 1.0 / (1.0 + g * (g + k));
  double a2 = g * a1;
  double a3 = g * a2;
  double v3 = x - s2_;
  double v1 = a1 * s1_ + a2 * v3;
  double v2 = s2_ + a2 * s1_ + a3 * v3;
  s1_ = 2.0 * v1 - s1_;
  s2_ = 2.0 * v2 - s2_;
  return {v2, v1, x - k * v1 - v2};
}

std::vector<std::int16_t> finish(Signal signal, Finish how) {
  const std::size_t n = signal.size();
  const std::size_t fade = std::min(n, frames(how.fadeSeconds));
  for (std::size_t i = 0; i < fade; ++i) {
    // From just under 1 down to exactly 0 on the last value.
    double x = static_cast<double>(i + 1) / static_cast<double>(fade);
    signal[n - fade + i] *= 0.5 * (1.0 + std::cos(kPi * x));
  }
  double peak = 0.0;
  for (double v : signal) peak = std::max(peak, std::abs(v));
  double gain = peak > 0.0 ? 32767.0 * std::pow(10.0, how.peakDb / 20.0) / peak : 0.0;

  std::vector<std::int16_t> out(n);
  for (std::size_t i = 0; i < n; ++i) {
    long v = std::lround(signal[i] * gain);
    out[i] = static_cast<std::int16_t>(std::clamp(v, -32768L, 32767L));
  }
  return out;
}

}  // namespace zorvik::synth
