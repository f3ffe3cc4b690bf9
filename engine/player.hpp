// The sequencer and mixer: turns a song into the output stream, one signed
// 16-bit sample at a time, looping over its 96 steps for ever.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "engine/pitch.hpp"
#include "engine/voice.hpp"
#include "formats/bank.hpp"
#include "formats/song.hpp"

namespace zorvik {

struct Player {
  // Creates a player at the start of the song; song and bank must outlive it.
  Player(std::uint8_t tempo, const Song& song, const SampleBank& bank);

  bool redraw = false;  // raised by the call that ended a step
  const Song* song;
  const SampleBank* bank;
  std::int32_t currentStep = 0;         // 0 to 95
  std::array<Voice, kChannels> voices;  // voice k plays channel k
  // Output samples since the start of the current loop; it goes back to 0
  // with each loop, so the step timing stays exact however long it plays.
  std::int32_t sampleCounter = 0;
  std::int32_t samplesPerStep;
  std::array<double, kPitchRows> increments;  // pitchIncrement of each row
};

// Length of a step in output samples for a tempo byte: 2353 to 600010.
std::int32_t stepLength(std::uint8_t tempo);

// The bank index an instrument byte plays at a pitch byte. Instrument 12 is
// split: sample 12 below pitch row 7, sample 13 from it. 223 stays 223.
std::uint8_t remapInstrument(std::uint8_t instrument, std::uint8_t pitch);

// Starts the notes of the player's current step: if any cell holds a note,
// all three voices are cut, then each channel with a playable note starts.
// A note the bank or the note table cannot play leaves its voice silent.
void processStep(Player& player);

// The next output sample; advances the player by one sample. On the call
// whose sample ends a step it moves currentStep on and raises redraw; every
// other call clears redraw.
std::int16_t nextSample(Player& player);

// Renders the same samples as repeated nextSample calls, faster. It stops
// early, right after the sample that ends a step, so the caller sees every
// step change: the player is then exactly as after that many nextSample
// calls (redraw raised). Returns the number of samples written.
std::size_t renderBlock(Player& player, std::span<std::int16_t> out);

}  // namespace zorvik
