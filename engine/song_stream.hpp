// A song's endless stream from its first sample, at disk speed. A step that
// holds a note cuts every voice, so from the second loop on each loop starts
// from the same state and is the same samples: the second loop is kept and
// given again for every later one, when it is short enough to keep.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "engine/sequencer.hpp"

namespace zorvik {

class SongStream {
 public:
  // Loops longer than maxKeptSamples are rendered afresh every time.
  static constexpr std::size_t kDefaultMaxKept = std::size_t{8} << 20;  // 16 MiB of samples

  SongStream(const Song& song, const SampleBank& bank,
             std::size_t maxKeptSamples = kDefaultMaxKept);

  // The next out.size() samples of the stream.
  void render(std::span<std::int16_t> out);

  // The next samples of the stream, at most max of them (at least one when
  // max is not 0), valid until the next call: a view of the kept loop where
  // the stream is in it, so that copying them is left to whoever must.
  std::span<const std::int16_t> next(std::size_t max);

  // Samples in one loop of the song.
  std::uint64_t loopLength() const { return loopLength_; }

 private:
  // Up to max samples of the kept loop, counted as given, where the stream
  // is in it; empty elsewhere (or for max 0).
  std::span<const std::int16_t> keptPart(std::size_t max);

  Player player_;
  std::uint64_t loopLength_;
  std::uint64_t produced_ = 0;
  bool keep_;
  std::vector<std::int16_t> kept_;    // the second loop, as far as rendered
  std::vector<std::int16_t> buffer_;  // for next(), outside the kept loop
};

}  // namespace zorvik
