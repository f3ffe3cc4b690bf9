// The volume after the mix: a gain in decibels, and values rounded to
// 16-bit samples, limited at full scale.
#pragma once

#include <cmath>
#include <cstdint>
#include <span>

namespace zorvik {

inline constexpr int kMinGainDb = -60;
inline constexpr int kMaxGainDb = 60;

// The factor a gain in decibels scales samples by.
inline double gainScale(double decibels) { return std::pow(10.0, decibels / 20.0); }

// A value rounded to the nearest sample (halves away from zero) and held
// within the 16-bit range; `limited` counts the values that were not.
inline std::int16_t limitedSample(double value, std::uint64_t& limited) {
  double v = std::round(value);
  if (v > 32767.0 || v < -32768.0) {
    ++limited;
    v = v > 0 ? 32767.0 : -32768.0;
  }
  return static_cast<std::int16_t>(v);
}

// Scales values by a gain and limits them to samples, counting the values
// past full scale: the one volume stage after the mix, for every front end.
class Limiter {
 public:
  explicit Limiter(double decibels = 0.0) : scale_(gainScale(decibels)) {}
  template <typename T>
  void apply(std::span<const T> in, std::span<std::int16_t> out) {
    for (std::size_t i = 0; i < in.size(); ++i) out[i] = limitedSample(in[i] * scale_, limited_);
  }
  void setGain(double decibels) { scale_ = gainScale(decibels); }
  std::uint64_t limited() const { return limited_; }

 private:
  double scale_;
  std::uint64_t limited_ = 0;
};

}  // namespace zorvik
