// Pitch rows, the note table and the playback rate of each row.
#pragma once

#include <array>
#include <cstdint>

#include "formats/cell.hpp"

namespace zorvik {

// Semitone of each pitch row: rows 2 and up follow a major scale, row 1 is
// one semitone and row 0 two semitones below row 2.
inline constexpr std::array<std::int32_t, kPitchRows> noteTable = {0,  1,  2,  4,  6,  7,  9,  11,
                                                                   13, 14, 16, 18, 19, 21, 23, 25};

// Frequency in Hz of the note n equal-tempered semitones above 27.5 Hz.
double noteFrequency(std::int32_t n);

// Sample positions a voice of pitch row p (0 to 15) advances per output
// sample: noteFrequency(noteTable[p]) / noteFrequency(1). Row 1 is exactly 1.
double pitchIncrement(int p);

}  // namespace zorvik
