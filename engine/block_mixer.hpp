// The block mixer: the same stream as the mixer, whole blocks at a time and
// many times faster, for rendering to files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "engine/sequencer.hpp"

namespace zorvik {

// Renders the same samples as repeated nextSample calls. It stops early,
// right after the sample that ends a step, so the caller sees every step
// change: the player is then exactly as after that many nextSample calls
// (redraw raised). Returns the number of samples written.
std::size_t renderBlock(Player& player, std::span<std::int16_t> out);

// Fills all of out, across as many steps as it takes.
void renderFully(Player& player, std::span<std::int16_t> out);

}  // namespace zorvik
