// A queue between two threads, one pushing and one popping, with no lock
// and no allocation after it is made: what the audio callback can use.
#pragma once

#include <atomic>
#include <cstddef>
#include <utility>
#include <vector>

namespace zorvik::play {

template <typename T>
class SpscQueue {
 public:
  // Holds up to capacity - 1 items.
  explicit SpscQueue(std::size_t capacity) : slots_(capacity) {}

  // The pushing thread: false when full (the item is left as it was).
  bool push(T& item) {
    const std::size_t tail = tail_.load(std::memory_order_relaxed);
    const std::size_t next = (tail + 1) % slots_.size();
    if (next == head_.load(std::memory_order_acquire)) return false;
    slots_[tail] = std::move(item);
    tail_.store(next, std::memory_order_release);
    return true;
  }

  // The popping thread: false when empty.
  bool pop(T& item) {
    const std::size_t head = head_.load(std::memory_order_relaxed);
    if (head == tail_.load(std::memory_order_acquire)) return false;
    item = std::move(slots_[head]);
    head_.store((head + 1) % slots_.size(), std::memory_order_release);
    return true;
  }

  // The pushing thread: room for at least this many more items.
  std::size_t room() const {
    const std::size_t head = head_.load(std::memory_order_acquire);
    const std::size_t tail = tail_.load(std::memory_order_relaxed);
    return (head + slots_.size() - tail - 1) % slots_.size();
  }

 private:
  std::vector<T> slots_;
  std::atomic<std::size_t> head_{0};
  std::atomic<std::size_t> tail_{0};
};

}  // namespace zorvik::play
