// The default bank, default.zvi: the bank every song falls back to. Its 16
// samples, in bank order, and the bytes of the file.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "formats/bank.hpp"

namespace zorvik::instruments {

inline constexpr const char* kDefaultBankName = "Zorvik Default";
inline constexpr const char* kDefaultBankAuthor = "Zorvik Player";

// Sample k, as instrument bytes reach it: 0-11 are instruments a-l, 12 and
// 13 the low and high register of instrument m, 14 and 15 instruments n, o.
std::array<std::vector<std::int16_t>, kBankSamples> defaultBankSamples();

std::vector<std::uint8_t> defaultBankBytes();

}  // namespace zorvik::instruments
