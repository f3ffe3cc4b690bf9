#include "engine/block_mixer.hpp"

#include <algorithm>
#include <limits>

#include "engine/mixer.hpp"

namespace zorvik {

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

// One voice's view for the interleaved loop: an inactive voice reads a
// single zero value and never moves.
struct Lane {
  SampleData data;
  double position;
  double increment;
};

constexpr std::uint8_t kSilence[2] = {0, 0};

Lane laneOf(const Voice& voice) {
  if (!voice.active) return {SampleData(kSilence), 0.0, 0.0};
  return {voice.sample->data, voice.position, voice.increment};
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
    out[i] = mixVoices(v0, v1, v2);
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
      int a2 = renderVoice(player.voices[2]);
      int a1 = renderVoice(player.voices[1]);
      int a0 = renderVoice(player.voices[0]);
      out[i++] = mixVoices(a0, a1, a2);
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

void renderFully(Player& player, std::span<std::int16_t> out) {
  std::size_t done = 0;
  while (done < out.size()) done += renderBlock(player, out.subspan(done));
}

}  // namespace zorvik
