// One playing channel: steps through a sample at the rate of its pitch row,
// with no interpolation, and falls silent at the sample's end.
#pragma once

#include <cstdint>

#include "formats/bank.hpp"

namespace zorvik {

struct Voice {
  double position = 0.0;           // read position, in sample values
  std::int32_t pitch = 255;        // pitch row of the note
  const Sample* sample = nullptr;  // the bank entry playing; not owned
  bool active = false;
  double increment = 0.0;  // pitchIncrement(pitch), fixed when the note starts
};

// Stops the voice: position back to 0, inactive; pitch and sample are kept.
inline void silenceVoice(Voice& voice) {
  voice.position = 0.0;
  voice.active = false;
}

// Starts a note on a silenced voice, from the first value of the sample.
// A sample with no values gives no sound: the voice stays silent.
inline void startNote(Voice& voice, const Sample& sample, int pitch, double increment) {
  voice.sample = &sample;
  voice.pitch = pitch;
  voice.increment = increment;
  voice.active = sample.length > 0;
}

// Moves a sounding voice on by one output sample; it falls silent once its
// position reaches the sample's length.
inline void stepVoice(Voice& voice) {
  voice.position += voice.increment;
  if (voice.position >= static_cast<double>(voice.sample->length)) {
    voice.active = false;
    voice.position = 0.0;
  }
}

// The voice's next value; advances it by one output sample.
inline std::int16_t renderVoice(Voice& voice) {
  if (!voice.active) return 0;
  std::int16_t value = voice.sample->data[static_cast<std::uint32_t>(voice.position)];
  stepVoice(voice);
  return value;
}

}  // namespace zorvik
