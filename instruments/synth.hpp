// Building blocks of the default bank's instruments: a seeded noise source,
// band-limited oscillators, filters, envelopes and the step that turns a
// signal into the 16-bit values the bank stores. Everything is computed in
// double with plain arithmetic and std::sin/std::exp/std::tan, so a recipe
// gives the same values on every build.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "formats/bank.hpp"

namespace zorvik::synth {

using Signal = std::vector<double>;

inline constexpr double kRate = kSampleRate;  // of every bank sample
inline constexpr double kPi = 3.14159265358979323846;

// The pitches melodic samples are recorded at: the B a semitone below the C
// that pitch row 2 plays (row 1 plays a sample at its recorded pitch).
inline constexpr double kB2 = 123.47082531403103;
inline constexpr double kB3 = 246.94165062806206;
inline constexpr double kB4 = 493.88330125612413;

// Number of values in `seconds` of sound.
inline std::size_t frames(double seconds) {
  return static_cast<std::size_t>(std::lround(seconds * kRate));
}

// Time in seconds of value i.
inline double timeOf(std::size_t i) { return static_cast<double>(i) / kRate; }

// sin(2 pi cycles): an oscillator whose phase is counted in cycles.
inline double sine(double cycles) { return std::sin(2.0 * kPi * cycles); }

// Frequency ratio of an interval in cents.
inline double cents(double c) { return std::pow(2.0, c / 1200.0); }

// xorshift32 with a fixed seed: the same noise on every build.
class Noise {
 public:
  explicit Noise(std::uint32_t seed) : state_(seed != 0 ? seed : 1) {}
  // Uniform in [-1, 1).
  double next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return static_cast<double>(state_) / 2147483648.0 - 1.0;
  }

 private:
  std::uint32_t state_;
};

// A phase in cycles, [0, 1), advanced by a frequency that may change from
// value to value (vibrato, pitch sweeps).
class Phase {
 public:
  explicit Phase(double start = 0.0) : phase_(start) {}
  double value() const { return phase_; }
  // Moves on by one value at `hz`; returns the phase before the move.
  double advance(double hz) {
    double now = phase_;
    phase_ += hz / kRate;
    phase_ -= std::floor(phase_);
    return now;
  }

 private:
  double phase_;
};

// Sawtooth and square at phase p (cycles) and per-value increment dt, with
// the jumps smoothed by polynomial band-limited steps so that they alias
// far less than the naive shapes.
double sawWave(double p, double dt);
double squareWave(double p, double dt);

// One-pole low-pass, for gentle smoothing.
class OnePole {
 public:
  explicit OnePole(double cutoffHz) : a_(1.0 - std::exp(-2.0 * kPi * cutoffHz / kRate)) {}
  double process(double x) { return y_ += a_ * (x - y_); }

 private:
  double a_;
  double y_ = 0.0;
};

// Two-pole state-variable filter (trapezoidal, stable under fast cutoff
// changes); one call gives the low-, band- and high-pass outputs together.
class StateVariable {
 public:
  struct Out {
    double low, band, high;
  };
  Out process(double x, double cutoffHz, double q);

 private:
  double s1_ = 0.0, s2_ = 0.0;
};

// Envelope shapes of time t in seconds.
inline double decay(double t, double tau) { return std::exp(-t / tau); }
inline double rise(double t, double tau) { return 1.0 - std::exp(-t / tau); }

// How a finished sample is levelled and ended.
struct Finish {
  double peakDb = -3.0;       // the loudest value, in dB below full scale
  double fadeSeconds = 0.05;  // raised-cosine fade-out ending on exactly 0
};

// Fades the end of the signal out, scales it to the peak level and rounds
// it to 16-bit values (clamped, though the level leaves headroom).
std::vector<std::int16_t> finish(Signal signal, Finish how);

}  // namespace zorvik::synth
