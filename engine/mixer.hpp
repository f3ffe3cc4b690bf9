// The mixer: the output stream, one signed 16-bit sample at a time, each
// voice at a third of full scale.
#pragma once

#include <cstdint>

#include "engine/sequencer.hpp"

namespace zorvik {

// Which channels are heard; a muted channel still plays on, unheard.
inline constexpr unsigned kAllChannels = 0b111;

// The next output sample; advances the player by one sample. On the call
// whose sample ends a step it moves currentStep on and raises redraw; every
// other call clears redraw.
std::int16_t nextSample(Player& player);

// The same, but channels outside `heard` add nothing to the mix.
std::int16_t nextSample(Player& player, unsigned heard);

// The mix of three voice values: each divided by three (truncating) before
// the sum, which therefore lies within +-32766 and needs no clipping.
inline std::int16_t mixVoices(int a0, int a1, int a2) {
  return static_cast<std::int16_t>(a2 / 3 + a1 / 3 + a0 / 3);
}

}  // namespace zorvik
