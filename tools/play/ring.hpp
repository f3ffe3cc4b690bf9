// The samples between the render thread and the audio callback: a ring
// with one writer and one reader, no lock. Samples are numbered from the
// start of playing; the writer can make the reader skip what it has not
// played yet, to replace it.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace zorvik::play {

class SampleRing {
 public:
  explicit SampleRing(std::size_t capacity);  // a power of two

  // Writer: room for this many more samples now.
  std::size_t room() const;
  // Writer: samples written that the reader will yet play.
  std::uint64_t ahead() const;
  // Writer: appends samples (at most room()).
  void write(std::span<const std::int16_t> samples);
  // Writer: the number the next sample written will have.
  std::uint64_t writeIndex() const { return write_.load(std::memory_order_relaxed); }
  // Writer: from its next read on, the reader skips to writeIndex(): what
  // is written from now on replaces what it has not played. Returns the
  // number of the first sample it will not play, as far as is known now.
  std::uint64_t skipUnplayed();

  // Reader: copies up to out.size() samples; returns how many. First skips
  // what skipUnplayed() discarded.
  std::size_t read(std::span<std::int16_t> out);
  // Reader and writer: the number of the next sample the reader gives.
  std::uint64_t readIndex() const { return read_.load(std::memory_order_acquire); }

 private:
  std::vector<std::int16_t> samples_;
  std::size_t mask_;
  std::atomic<std::uint64_t> write_{0};
  std::atomic<std::uint64_t> read_{0};
  std::atomic<std::uint64_t> skipTo_{0};
};

}  // namespace zorvik::play
