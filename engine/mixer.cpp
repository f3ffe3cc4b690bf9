#include "engine/mixer.hpp"

namespace zorvik {

std::int16_t nextSample(Player& player, unsigned heard) {
  if (positionInStep(player) == 0) processStep(player);
  int a2 = renderVoice(player.voices[2]);
  int a1 = renderVoice(player.voices[1]);
  int a0 = renderVoice(player.voices[0]);
  std::int16_t out = mixVoices(heard & 1u ? a0 : 0, heard & 2u ? a1 : 0, heard & 4u ? a2 : 0);
  advance(player, 1);
  return out;
}

}  // namespace zorvik
