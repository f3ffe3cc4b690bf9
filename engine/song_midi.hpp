// A song as a Standard MIDI File: the notes the engine plays, each channel
// on a track and a MIDI channel of its own, each bank sample a program, at
// a tempo that makes a tick exactly one output sample.
#pragma once

#include <cstdint>
#include <vector>

#include "formats/bank.hpp"
#include "formats/song.hpp"

namespace zorvik {

// 8001 ticks a quarter note of 250000 us: a tick lasts 1/32004 s, one
// output sample, so every note starts and ends on its own sample.
inline constexpr int kMidiDivision = 8001;
inline constexpr std::uint32_t kMidiTempo = 250000;
static_assert(std::uint64_t{kMidiTempo} * kSampleRate == std::uint64_t{kMidiDivision} * 1'000'000);

// The longest file written, in samples (ticks): 2^28 - 1, about 2 h 20 min,
// so that no delta time can pass what a file holds.
inline constexpr std::uint64_t kMaxMidiSamples = 0x0FFFFFFF;

// The velocity of every note: the sample at its own level.
inline constexpr int kMidiVelocity = 127;

// The MIDI key a pitch row (0 to 15) sounds: row 1, the sample's own
// pitch, is 60 (middle C), and each row is as many semitones from it as
// the note table puts it.
int midiKey(int pitch);

// The first `length` samples of the song's stream as a format-1 file: a
// tempo track (the song's title as its name, the author as a text), then
// one track for each song channel, "Channel 1" to "Channel 3", on MIDI
// channels 1 to 3, each note preceded by a program change (the bank
// sample, 0 to 15) when its sample is not the one the channel last played.
// Every track ends at `length`. Throws Error past kMaxMidiSamples.
std::vector<std::uint8_t> songMidiFile(const Song& song, const SampleBank& bank,
                                       std::uint64_t length);

}  // namespace zorvik
