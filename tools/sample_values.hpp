// Audio made into bank sample values: 16-bit whole numbers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace zorvik::tool {

struct BankValues {
  std::vector<std::int16_t> values;
  std::size_t clipped = 0;     // finite values beyond 16 bits, clipped
  std::size_t notNumbers = 0;  // NaN, made 0
  std::size_t infinities = 0;  // infinite, clipped to the nearest limit
};

// Rounds each value to the nearest whole number, halves away from zero, and
// clips it to [-32768, 32767]; NaN becomes 0.
BankValues toBankValues(std::span<const double> values);

// The same for the next part of a stream: the values are appended to
// out.values and counted in its counts.
void appendBankValues(std::span<const double> values, BankValues& out);

}  // namespace zorvik::tool
