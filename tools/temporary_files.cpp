#include "tools/temporary_files.hpp"

#include <atomic>
#include <cstring>

#include "platform/os.hpp"

namespace zorvik::tool {

namespace {

// Enough for the sixteen files of `bank extract` and then some.
constexpr int kSlots = 32;
constexpr std::size_t kMaxPath = 4096;

struct Slot {
  std::atomic<bool> used{false};   // taken by a caller
  std::atomic<bool> ready{false};  // path written and visible to the handler
  char path[kMaxPath];
};
Slot slots[kSlots];

}  // namespace

void removeTemporaryFiles() {
  for (Slot& slot : slots) {
    if (slot.ready.load()) os::removeFile(slot.path);
  }
}

int registerTemporaryFile(const char* path) {
  std::size_t length = std::strlen(path);
  if (length >= kMaxPath) return -1;
  for (int i = 0; i < kSlots; ++i) {
    bool expected = false;
    if (slots[i].used.compare_exchange_strong(expected, true)) {
      std::memcpy(slots[i].path, path, length + 1);
      slots[i].ready.store(true);
      return i;
    }
  }
  return -1;
}

void unregisterTemporaryFile(int slot) {
  if (slot < 0) return;
  slots[slot].ready.store(false);
  slots[slot].used.store(false);
}

}  // namespace zorvik::tool
