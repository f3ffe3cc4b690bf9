// The player's sound: its audio callback fills each device buffer from the
// song playing and redraws the screen after each sample that ends a step.
#pragma once

#include <cstdint>

#include "display/roll.hpp"
#include "engine/playback.hpp"

namespace zorvik {

// The player's own: set once by start-up before the device starts;
// afterwards only the audio thread touches what they point to.
extern Playback* thePlayback;
extern RollPages* theRollPages;

// Fills stream with len / 2 samples from the playback, stored as signed
// 16-bit little-endian values. After each sample that ends a step it calls
// onStep with the playback (at the new step) and the sample's index,
// before the next sample is computed. A len below 2 computes nothing.
void fillAudio(Playback& playback, std::uint8_t* stream, int len,
               void (*onStep)(const Playback& playback, int index, void* context), void* context);

// The player's audio callback: fills stream from thePlayback, redrawing the
// screen after each sample that ends a step.
void audioCallback(void* userdata, std::uint8_t* stream, int len);

}  // namespace zorvik
