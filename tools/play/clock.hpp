// What is being heard now. Each time the audio callback runs it says what
// the buffer it filled last holds, as the device plays that buffer from
// now on: which song (a play's serial), from where in it, at what tempo,
// in up to three parts (a song's end and the next one's start, or the end
// of the playlist). The main thread reads that without a lock and counts
// on from it with the time that has passed since.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>

namespace zorvik::play {

// A run of the samples of one buffer.
struct HeardPart {
  std::uint32_t offset = 0;   // where in the buffer it starts
  std::uint32_t samples = 0;  // song samples it holds (0 while paused or waiting)
  std::uint64_t serial = 0;   // the play heard (0: none, the playlist has ended)
  std::uint64_t played = 0;   // that play's place at the part's start
  std::int32_t samplesPerStep = 0;
  friend bool operator==(const HeardPart&, const HeardPart&) = default;
};

struct HeardBuffer {
  std::int64_t time = 0;     // steady clock, when the device began playing it
  std::uint32_t length = 0;  // samples in the buffer
  std::uint32_t parts = 0;
  std::array<HeardPart, 3> part{};
};

// What is heard at one moment.
struct Heard {
  std::uint64_t serial = 0;
  std::uint64_t played = 0;
  std::int32_t samplesPerStep = 0;
  bool known = false;  // the callback has said something yet
};

class HeardClock {
 public:
  using Time = std::chrono::steady_clock::time_point;
  explicit HeardClock(int rate) : rate_(rate) {}

  // The audio callback (one writer): the device plays this from now on.
  void publish(const HeardBuffer& buffer);
  // Any thread: what is heard at `now`.
  Heard heard(Time now) const;

 private:
  static constexpr std::size_t kWords = (sizeof(HeardBuffer) + 7) / 8;
  int rate_;
  std::atomic<std::uint64_t> version_{0};  // odd while publish() writes
  std::array<std::atomic<std::uint64_t>, kWords> words_{};
};

}  // namespace zorvik::play
