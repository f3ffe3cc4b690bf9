// The notes a song plays, as the engine plays them: where each voice starts
// a note and where it falls silent, cut by the next step that holds a note
// or at its sample's end, whichever comes first.
#pragma once

#include <cstdint>
#include <vector>

#include "formats/bank.hpp"
#include "formats/song.hpp"

namespace zorvik {

struct NoteEvent {
  // Output samples from the song's first: the first the voice sounds on,
  // and the first it no longer does (always past start).
  std::uint64_t start;
  std::uint64_t end;
  int channel;  // 0 to 2
  int pitch;    // pitch row, 0 to 15
  int sample;   // bank sample, 0 to 15
  friend bool operator==(const NoteEvent&, const NoteEvent&) = default;
};

// The notes heard in the first `length` samples of the song's stream, in
// the order they start, channel by channel within a step. A note still
// sounding at `length` ends there. A note that plays nothing (one the bank
// or the note table cannot play, or a sample with no values) is none.
std::vector<NoteEvent> songNotes(const Song& song, const SampleBank& bank, std::uint64_t length);

}  // namespace zorvik
