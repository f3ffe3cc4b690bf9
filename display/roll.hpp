// The piano roll: the song's 96 steps on two pages of 48, each a five-line
// staff of 13 text lines, one column per step and one line per pitch row.
#pragma once

#include <array>
#include <string>

#include "formats/song.hpp"

namespace zorvik {

inline constexpr int kRollLines = 13;
inline constexpr int kRollWidth = 53;
inline constexpr int kStepsPerPage = 48;

using RollPage = std::array<std::string, kRollLines>;
using RollPages = std::array<RollPage, 2>;

// Page 0 shows steps 0 to 47, page 1 steps 48 to 95. A note of pitch row r
// is the letter of its instrument byte ('a' for 0) on line 13 - r, in the
// step's column; rows outside 1 to 13 have no line and are left out.
RollPages buildRollPages(const Song& song);

// The column of a step in its page's lines: 2 to 49.
inline int rollColumn(int step) { return step % kStepsPerPage + 2; }

}  // namespace zorvik
