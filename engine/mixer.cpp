#include "engine/mixer.hpp"

namespace zorvik {

namespace {

template <bool kMasked>
std::int16_t mixNext(Player& player, unsigned heard) {
  if (positionInStep(player) == 0) processStep(player);
  int a2 = renderVoice(player.voices[2]);
  int a1 = renderVoice(player.voices[1]);
  int a0 = renderVoice(player.voices[0]);
  std::int16_t out = kMasked
                         ? mixVoices(heard & 1u ? a0 : 0, heard & 2u ? a1 : 0, heard & 4u ? a2 : 0)
                         : mixVoices(a0, a1, a2);
  advance(player, 1);
  return out;
}

}  // namespace

// The player's own path, once for every sample it plays: nothing to mask.
std::int16_t nextSample(Player& player) { return mixNext<false>(player, kAllChannels); }

std::int16_t nextSample(Player& player, unsigned heard) { return mixNext<true>(player, heard); }

}  // namespace zorvik
