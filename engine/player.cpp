#include "engine/player.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace zorvik {

std::int32_t stepLength(std::uint8_t tempo) {
  std::int32_t t = tempo;
  return (t * 10 + 600010) / (t + 1);
}

Player::Player(std::uint8_t tempo, const Song& s, const SampleBank& b)
    : song(&s), bank(&b), samplesPerStep(stepLength(tempo)) {
  for (int p = 0; p < kPitchRows; ++p) increments[p] = pitchIncrement(p);
}

std::uint8_t remapInstrument(std::uint8_t instrument, std::uint8_t pitch) {
  if (instrument == 223) return instrument;
  if (instrument > 12) return static_cast<std::uint8_t>(instrument + 1);  // 255 wraps to 0
  if (instrument == 12 && pitch >= 7) return 13;
  return instrument;
}

void processStep(Player& player) {
  const StepCells& cells = player.song->cells[player.currentStep];
  std::array<std::uint8_t, kChannels> sampleIndex{};
  std::array<bool, kChannels> hasNote{};
  bool anyNote = false;
  for (int k = 0; k < kChannels; ++k) {
    sampleIndex[k] = remapInstrument(cells[k].instrument, cells[k].pitch);
    // (255, 222) remaps to 223, so it is as empty as (255, 223).
    hasNote[k] = !(cells[k].pitch == 255 && sampleIndex[k] == 223);
    anyNote = anyNote || hasNote[k];
  }
  if (!anyNote) return;  // sounding voices go on into this step

  for (Voice& voice : player.voices) silenceVoice(voice);
  for (int k = 0; k < kChannels; ++k) {
    std::uint8_t pitch = cells[k].pitch;
    // A note past the bank's samples or the note table still cut the step
    // above, but its own voice stays silent.
    if (!hasNote[k] || sampleIndex[k] >= player.bank->samples.size() || pitch >= kPitchRows) {
      continue;
    }
    startNote(player.voices[k], player.bank->samples[sampleIndex[k]], pitch,
              player.increments[pitch]);
  }
}

namespace {

// Samples into the current step. sampleCounter stays within one loop, so
// currentStep is exactly sampleCounter / samplesPerStep.
std::int32_t positionInStep(const Player& player) {
  return player.sampleCounter - player.currentStep * player.samplesPerStep;
}

// Counts `count` samples, all within the current step, as played.
void advance(Player& player, std::int32_t count) {
  player.redraw = false;
  player.sampleCounter += count;
  if (positionInStep(player) == player.samplesPerStep) {
    player.currentStep = (player.currentStep + 1) % kSteps;
    if (player.currentStep == 0) player.sampleCounter = 0;
    player.redraw = true;
  }
}

}  // namespace

std::int16_t nextSample(Player& player) {
  if (positionInStep(player) == 0) processStep(player);
  std::int16_t a2 = renderVoice(player.voices[2]);
  std::int16_t a1 = renderVoice(player.voices[1]);
  std::int16_t a0 = renderVoice(player.voices[0]);
  // Each voice is divided (truncating) before the sum, which therefore lies
  // within +-32766 and needs no clipping.
  auto out = static_cast<std::int16_t>(a2 / 3 + a1 / 3 + a0 / 3);
  advance(player, 1);
  return out;
}

namespace {

// Outputs a voice surely stays active for: its position, advanced one
// increment at a time, stays below the sample's length. The margin covers
// the rounding that accumulates over that many additions.
std::size_t safeRun(const Voice& voice) {
  if (!voice.active) return std::numeric_limits<std::size_t>::max();
  double length = voice.sample->length;
  double steps = (length - voice.position) / voice.increment;
  double margin = 2.0 + steps * length * 0x1p-48;
  return steps > margin ? static_cast<std::size_t>(steps - margin) : 0;
}

// One voice's view for the interleaved loop: an inactive voice reads its
// single zero value and never moves.
struct Lane {
  const std::int16_t* data;
  double position;
  double increment;
};

Lane laneOf(const Voice& voice) {
  static constexpr std::int16_t kSilence = 0;
  if (!voice.active) return {&kSilence, 0.0, 0.0};
  return {voice.sample->data.data(), voice.position, voice.increment};
}

// Mixes n samples over which no voice can end: no end tests, and the three
// position chains interleave.
void mixSafe(Player& player, std::int16_t* out, std::size_t n) {
  Lane l0 = laneOf(player.voices[0]);
  Lane l1 = laneOf(player.voices[1]);
  Lane l2 = laneOf(player.voices[2]);
  for (std::size_t i = 0; i < n; ++i) {
    int v2 = l2.data[static_cast<std::uint32_t>(l2.position)];
    int v1 = l1.data[static_cast<std::uint32_t>(l1.position)];
    int v0 = l0.data[static_cast<std::uint32_t>(l0.position)];
    out[i] = static_cast<std::int16_t>(v2 / 3 + v1 / 3 + v0 / 3);
    l0.position += l0.increment;
    l1.position += l1.increment;
    l2.position += l2.increment;
  }
  for (int k = 0; k < kChannels; ++k) {
    Voice& voice = player.voices[k];
    if (voice.active) voice.position = (k == 0 ? l0 : k == 1 ? l1 : l2).position;
  }
}

void mix(Player& player, std::int16_t* out, std::size_t count) {
  const auto& v = player.voices;
  std::size_t i = 0;
  while (i < count) {
    if (!v[0].active && !v[1].active && !v[2].active) {
      std::fill(out + i, out + count, 0);  // slow tempos spend most of a step here
      return;
    }
    std::size_t run = std::min({count - i, safeRun(player.voices[0]), safeRun(player.voices[1]),
                                safeRun(player.voices[2])});
    if (run > 0) {
      mixSafe(player, out + i, run);
      i += run;
    } else {
      // Some voice is about to end: one sample the careful way.
      std::int16_t a2 = renderVoice(player.voices[2]);
      std::int16_t a1 = renderVoice(player.voices[1]);
      std::int16_t a0 = renderVoice(player.voices[0]);
      out[i++] = static_cast<std::int16_t>(a2 / 3 + a1 / 3 + a0 / 3);
    }
  }
}

}  // namespace

std::size_t renderBlock(Player& player, std::span<std::int16_t> out) {
  if (out.empty()) return 0;
  std::int32_t position = positionInStep(player);
  if (position == 0) processStep(player);
  auto count = static_cast<std::int32_t>(std::min<std::size_t>(
      out.size(), static_cast<std::size_t>(player.samplesPerStep - position)));
  mix(player, out.data(), static_cast<std::size_t>(count));
  advance(player, count);
  return static_cast<std::size_t>(count);
}

}  // namespace zorvik
