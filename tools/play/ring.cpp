#include "tools/play/ring.hpp"

#include <algorithm>

namespace zorvik::play {

SampleRing::SampleRing(std::size_t capacity) : samples_(capacity), mask_(capacity - 1) {}

std::size_t SampleRing::room() const {
  std::uint64_t used =
      write_.load(std::memory_order_relaxed) - read_.load(std::memory_order_acquire);
  return samples_.size() - static_cast<std::size_t>(std::min<std::uint64_t>(used, samples_.size()));
}

std::uint64_t SampleRing::ahead() const {
  std::uint64_t from =
      std::max(read_.load(std::memory_order_acquire), skipTo_.load(std::memory_order_acquire));
  std::uint64_t to = write_.load(std::memory_order_relaxed);
  return to > from ? to - from : 0;
}

void SampleRing::write(std::span<const std::int16_t> samples) {
  std::uint64_t at = write_.load(std::memory_order_relaxed);
  for (std::int16_t s : samples) samples_[static_cast<std::size_t>(at++) & mask_] = s;
  write_.store(at, std::memory_order_release);
}

std::uint64_t SampleRing::skipUnplayed() {
  std::uint64_t at = write_.load(std::memory_order_relaxed);
  skipTo_.store(at, std::memory_order_release);
  return std::min(read_.load(std::memory_order_acquire), at);
}

std::size_t SampleRing::read(std::span<std::int16_t> out) {
  std::uint64_t from = read_.load(std::memory_order_relaxed);
  from = std::max(from, skipTo_.load(std::memory_order_acquire));
  std::uint64_t available = write_.load(std::memory_order_acquire) - from;
  auto n = static_cast<std::size_t>(std::min<std::uint64_t>(available, out.size()));
  for (std::size_t i = 0; i < n; ++i) out[i] = samples_[static_cast<std::size_t>(from + i) & mask_];
  read_.store(from + n, std::memory_order_release);
  return n;
}

}  // namespace zorvik::play
