#include "tools/play/clock.hpp"

#include <algorithm>

namespace zorvik::play {

void HeardClock::publish(std::uint64_t first, std::uint32_t length, Time time) {
  // One writer: odd while the fields change, and no reader takes fields
  // of two versions.
  std::uint64_t version = version_.load(std::memory_order_relaxed);
  version_.store(version + 1, std::memory_order_relaxed);
  std::atomic_thread_fence(std::memory_order_release);
  first_.store(first, std::memory_order_relaxed);
  length_.store(length, std::memory_order_relaxed);
  time_.store(time.time_since_epoch().count(), std::memory_order_relaxed);
  version_.store(version + 2, std::memory_order_release);
}

std::uint64_t HeardClock::heard(Time now) const {
  std::uint64_t first = 0;
  std::uint32_t length = 0;
  std::int64_t time = 0;
  for (;;) {
    std::uint64_t before = version_.load(std::memory_order_acquire);
    first = first_.load(std::memory_order_relaxed);
    length = length_.load(std::memory_order_relaxed);
    time = time_.load(std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_acquire);
    if (before % 2 == 0 && version_.load(std::memory_order_relaxed) == before) break;
  }
  auto elapsed = now.time_since_epoch().count() - time;
  if (elapsed <= 0 || length == 0) return first;
  double seconds = std::chrono::duration<double>(Time::duration(elapsed)).count();
  auto played = static_cast<std::uint64_t>(seconds * rate_);
  return first + std::min<std::uint64_t>(played, length);
}

}  // namespace zorvik::play
