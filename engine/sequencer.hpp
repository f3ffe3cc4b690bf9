// The sequencer: the playback state of a song, the length of its steps, and
// the starting of each step's notes on the three voices.
#pragma once

#include <array>
#include <cstdint>

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

// Starts the notes of the player's current step: if any cell holds a note,
// all three voices are cut, then each channel with a playable note starts.
// A note the bank or the note table cannot play leaves its voice silent.
void processStep(Player& player);

// Samples already played of the current step.
inline std::int32_t positionInStep(const Player& player) {
  return player.sampleCounter - player.currentStep * player.samplesPerStep;
}

// Counts `count` samples, all within the current step, as played. When
// they end the step it moves currentStep on and raises redraw; otherwise it
// clears redraw. (Inline: the per-sample mixer calls it for every sample.)
inline void advance(Player& player, std::int32_t count) {
  player.redraw = false;
  player.sampleCounter += count;
  if (positionInStep(player) == player.samplesPerStep) {
    player.currentStep = (player.currentStep + 1) % kSteps;
    if (player.currentStep == 0) player.sampleCounter = 0;
    player.redraw = true;
  }
}

// Moves the player to the start of a step (0 to 95), all voices silent, as
// if it had just been created there: the step's notes start with the next
// sample.
void jumpToStep(Player& player, std::int32_t step);

}  // namespace zorvik
