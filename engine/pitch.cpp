#include "engine/pitch.hpp"

#include <cmath>

namespace zorvik {

double noteFrequency(std::int32_t n) { return std::pow(2.0, static_cast<double>(n) / 12.0) * 27.5; }

double pitchIncrement(int p) { return noteFrequency(noteTable[p]) / noteFrequency(1); }

}  // namespace zorvik
