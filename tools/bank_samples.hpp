// What `zorvik bank` adds to the bank format: which instrument plays each
// sample, the file names extract gives them, audio made into 16-bit sample
// values, and the limits the 32-bit descriptor fields put on lengths.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace zorvik::tool {

// The instrument letter that plays sample k: "a" to "l", "m low" (pitch
// rows 0-6), "m high" (rows 7-15), "n", "o".
std::string sampleInstrument(int k);

// The file extract writes sample k to: "00-a.wav" ... "11-l.wav",
// "12-m-low.wav", "13-m-high.wav", "14-n.wav", "15-o.wav". Sorted by name
// they are in bank order.
std::string extractedFileName(int k);

struct BankValues {
  std::vector<std::int16_t> values;
  std::size_t clipped = 0;  // values beyond 16 bits (or not numbers), clipped
};

// Rounds each value to the nearest whole number, halves away from zero, and
// clips it to [-32768, 32767]; a value that is not a number becomes 0.
BankValues toBankValues(std::span<const double> values);

// The most values one sample can hold: its byteLength is a 32-bit field.
inline constexpr std::uint64_t kMaxSampleValues = 0xFFFFFFFFu / 2;

// Why samples of these lengths, in values and bank order, cannot share one
// bank file: a sample's byteLength or dataOffset would not fit in 32 bits.
// Empty when they fit.
std::optional<std::string> bankSizeProblem(std::span<const std::uint64_t> lengths);

}  // namespace zorvik::tool
