#include "engine/sequencer.hpp"

namespace zorvik {

std::int32_t stepLength(std::uint8_t tempo) {
  std::int32_t t = tempo;
  return (t * 10 + 600010) / (t + 1);
}

Player::Player(std::uint8_t tempo, const Song& s, const SampleBank& b)
    : song(&s), bank(&b), samplesPerStep(stepLength(tempo)) {
  for (int p = 0; p < kPitchRows; ++p) increments[p] = pitchIncrement(p);
}

void processStep(Player& player) {
  const StepCells& cells = player.song->cells[player.currentStep];
  bool anyNote = false;
  for (const SongCell& cell : cells) anyNote = anyNote || startsNote(cell);
  if (!anyNote) return;  // sounding voices go on into this step

  for (Voice& voice : player.voices) silenceVoice(voice);
  for (int k = 0; k < kChannels; ++k) {
    const SongCell& cell = cells[k];
    // A note the bank or the note table cannot play still cut the step
    // above, but its own voice stays silent.
    if (!startsNote(cell) || !isPlayable(cell)) continue;
    startNote(player.voices[k], player.bank->samples[remapInstrument(cell.instrument, cell.pitch)],
              cell.pitch, player.increments[cell.pitch]);
  }
}

void jumpToStep(Player& player, std::int32_t step) {
  for (Voice& voice : player.voices) silenceVoice(voice);
  player.currentStep = step;
  player.sampleCounter = step * player.samplesPerStep;
  player.redraw = false;
}

}  // namespace zorvik
