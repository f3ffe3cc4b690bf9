// The volume after the mix: a gain in decibels, and values rounded to
// 16-bit samples, limited at full scale.
#pragma once

#include <cmath>
#include <cstdint>

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

}  // namespace zorvik
