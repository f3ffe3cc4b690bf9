#include "tools/play/clock.hpp"

#include <algorithm>
#include <cstring>
#include <type_traits>

namespace zorvik::play {

static_assert(std::is_trivially_copyable_v<HeardBuffer>);

void HeardClock::publish(const HeardBuffer& buffer) {
  std::array<std::uint64_t, kWords> words{};
  std::memcpy(words.data(), &buffer, sizeof buffer);
  // One writer: odd while the words change, and no reader keeps words of
  // two versions.
  std::uint64_t version = version_.load(std::memory_order_relaxed);
  version_.store(version + 1, std::memory_order_relaxed);
  std::atomic_thread_fence(std::memory_order_release);
  for (std::size_t i = 0; i < kWords; ++i) words_[i].store(words[i], std::memory_order_relaxed);
  version_.store(version + 2, std::memory_order_release);
}

Heard HeardClock::heard(Time now) const {
  std::array<std::uint64_t, kWords> words{};
  std::uint64_t before = 0;
  for (;;) {
    before = version_.load(std::memory_order_acquire);
    for (std::size_t i = 0; i < kWords; ++i) words[i] = words_[i].load(std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_acquire);
    if (before % 2 == 0 && version_.load(std::memory_order_relaxed) == before) break;
  }
  if (before == 0) return {};
  HeardBuffer buffer;
  std::memcpy(static_cast<void*>(&buffer), words.data(), sizeof buffer);
  if (buffer.parts == 0) return {};
  const std::int64_t elapsed = now.time_since_epoch().count() - buffer.time;
  const double seconds =
      elapsed <= 0 ? 0.0 : std::chrono::duration<double>(Time::duration(elapsed)).count();
  const auto at = static_cast<std::uint32_t>(
      std::min<double>(seconds * rate_, buffer.length == 0 ? 0 : buffer.length - 1));
  // The last part that has begun by now.
  std::uint32_t k = 0;
  while (k + 1 < buffer.parts && buffer.part[k + 1].offset <= at) ++k;
  const HeardPart& part = buffer.part[k];
  return {part.serial, part.played + std::min(at - part.offset, part.samples), part.samplesPerStep,
          true};
}

}  // namespace zorvik::play
