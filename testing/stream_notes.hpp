// The notes a song's stream plays, read from the samples themselves: each
// channel is played alone with a bank whose values say which sample they
// come from and mark its first value, so that a note is seen starting,
// being cut and running out exactly where the stream has it.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "formats/song.hpp"
#include "testing/fixtures.hpp"

namespace zorvik::fixtures {

// Samples of these lengths whose values name them: sample s holds 3 * (2s
// + 2) first, then 3 * (2s + 1). The mixer's division by three keeps them.
SampleSet markedSamples(std::span<const std::size_t> lengths);

struct StreamNote {
  std::uint64_t start, end;  // the first sample it sounds on, the first it does not
  int channel;
  int sample;
  friend bool operator==(const StreamNote&, const StreamNote&) = default;
};

// The notes heard in the first n samples of the song's stream with a bank
// of marked samples, channel by channel, each in the order they start. A
// note starts only with a step (it reads its first value there: a voice
// sounding on from before has long left it) and ends where its channel
// falls silent, or another note starts, or the n samples end.
std::vector<StreamNote> streamNotes(const Song& song, const SampleSet& marked, std::size_t n);

}  // namespace zorvik::fixtures
