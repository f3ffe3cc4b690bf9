#include "testing/stream_notes.hpp"

#include <optional>
#include <stdexcept>

#include "engine/sequencer.hpp"

namespace zorvik::fixtures {

SampleSet markedSamples(std::span<const std::size_t> lengths) {
  SampleSet samples;
  for (int s = 0; s < kBankSamples; ++s) {
    samples[s].assign(lengths[s], static_cast<std::int16_t>(3 * (2 * s + 1)));
    if (!samples[s].empty()) samples[s][0] = static_cast<std::int16_t>(3 * (2 * s + 2));
  }
  return samples;
}

std::vector<StreamNote> streamNotes(const Song& song, const SampleSet& marked, std::size_t n) {
  const auto perStep = static_cast<std::size_t>(stepLength(song.tempo));
  std::vector<StreamNote> notes;
  for (int k = 0; k < kChannels; ++k) {
    const std::vector<std::int16_t> alone = streamOf(song, marked, n, 1u << k);
    std::optional<StreamNote> open;
    auto close = [&](std::size_t at) {
      if (open) notes.push_back({open->start, at, k, open->sample});
      open.reset();
    };
    for (std::size_t t = 0; t < n; ++t) {
      const int value = alone[t];
      if (value == 0) {
        close(t);
        continue;
      }
      const int sample = (value - 1) / 2;
      const bool first = value % 2 == 0;
      if (t % perStep == 0 && first) {
        close(t);
        open = StreamNote{t, t, k, sample};
      } else if (!open || open->sample != sample) {
        throw std::runtime_error("a channel sounds with no note started");
      }
    }
    close(n);
  }
  return notes;
}

}  // namespace zorvik::fixtures
