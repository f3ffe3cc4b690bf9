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

// Fills stream with len / 2 samples from the player, one nextSample call
// each, stored as signed 16-bit little-endian values. After each sample that
// begins a new step it calls onStep with the player and the sample's index,
// before the next sample is computed. A len below 2 computes nothing.
void fillAudio(Player& player, std::uint8_t* stream, int len,
               void (*onStep)(const Player& player, int index, void* context), void* context);

// SDL's audio callback: fills stream with len / 2 samples from thePlayer,
// redrawing the screen after each sample that begins a new step.
void audioCallback(void* userdata, std::uint8_t* stream, int len);

// Opens the device and starts it. When SDL's audio cannot start, it says so
// in one line on standard error and goes on with SDL's silent "dummy"
// driver, so that the screen still runs at the song's pace.
void startAudio();

}  // namespace zorvik
