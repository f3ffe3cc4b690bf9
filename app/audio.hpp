// Sound output through SDL 1.2: 32004 Hz, signed 16-bit little-endian mono,
// in buffers of 4096 samples, from a callback of the caller's.
#pragma once

#include <cstdint>

#include "display/roll.hpp"
#include "engine/sequencer.hpp"

namespace zorvik {

// Samples in one device buffer, as both programs ask for them.
inline constexpr int kDeviceBufferSamples = 4096;

// Opens the device for `callback` and starts it: 32004 Hz, signed 16-bit
// little-endian mono, in buffers of kDeviceBufferSamples. SDL converts to
// whatever the device takes, so the callback always gets exactly that. When
// SDL's audio cannot start, it says so in one line on standard error,
// prefixed by `program` (unless that is null), and goes on with SDL's
// silent "dummy" driver, which calls back at the same pace. SDL is shut
// down when the process exits.
// Returns false when not even the silent driver starts (nothing will call
// back).
bool startAudio(void (*callback)(void* userdata, std::uint8_t* stream, int len), void* userdata,
                const char* program);

// Stops the device: the callback is not called again (before what it reads
// is destroyed).
void stopAudio();

// The player's own: set once by start-up before the device starts;
// afterwards only the audio thread touches what they point to.
extern Player* thePlayer;
extern RollPages* theRollPages;

// Fills stream with len / 2 samples from the player, one nextSample call
// each, stored as signed 16-bit little-endian values. After each sample that
// begins a new step it calls onStep with the player and the sample's index,
// before the next sample is computed. A len below 2 computes nothing.
void fillAudio(Player& player, std::uint8_t* stream, int len,
               void (*onStep)(const Player& player, int index, void* context), void* context);

// The player's audio callback: fills stream from thePlayer, redrawing the
// screen after each sample that begins a new step.
void audioCallback(void* userdata, std::uint8_t* stream, int len);

}  // namespace zorvik
