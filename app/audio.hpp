// Sound output through SDL 1.2: 32004 Hz, signed 16-bit little-endian mono,
// fed sample by sample from the player, redrawing the screen at each step.
#pragma once

#include <cstdint>

#include "display/roll.hpp"
#include "engine/player.hpp"

namespace zorvik {

// Set once by start-up before the device starts; afterwards only the audio
// thread touches what they point to.
extern Player* thePlayer;
extern RollPages* theRollPages;

// SDL's audio callback: fills stream with len / 2 samples from thePlayer,
// redrawing the screen after each sample that begins a new step.
void audioCallback(void* userdata, std::uint8_t* stream, int len);

// Opens the device and starts it. When SDL's audio cannot start, it says so
// in one line on standard error and goes on with SDL's silent "dummy"
// driver, so that the screen still runs at the song's pace.
void startAudio();

}  // namespace zorvik
