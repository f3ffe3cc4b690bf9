// Which sample is being heard now. The audio callback says, each time it
// runs, which samples the device has just been given to play after the
// ones it was given before; the main thread reads that without a lock and
// counts on from it with the time that has passed since.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>

namespace zorvik::play {

class HeardClock {
 public:
  using Time = std::chrono::steady_clock::time_point;

  explicit HeardClock(int rate) : rate_(rate) {}

  // Audio callback: from `time` on, the device plays `length` samples
  // numbered from `first` (the buffer the callback filled before this one).
  void publish(std::uint64_t first, std::uint32_t length, Time time);

  // Any thread: the number of the sample heard at `now`.
  std::uint64_t heard(Time now) const;

 private:
  int rate_;
  std::atomic<std::uint64_t> version_{0};  // odd while publish() writes
  std::atomic<std::uint64_t> first_{0};
  std::atomic<std::uint32_t> length_{0};
  std::atomic<std::int64_t> time_{0};
};

}  // namespace zorvik::play
