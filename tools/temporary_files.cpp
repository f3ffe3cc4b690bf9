#include "tools/temporary_files.hpp"

#include <unistd.h>

#include <atomic>
#include <climits>
#include <csignal>
#include <cstring>

#include "platform/signals.hpp"

namespace zorvik::tool {

namespace {

// Enough for the sixteen files of `bank extract` and then some.
constexpr int kSlots = 32;

struct Slot {
  std::atomic<bool> used{false};   // taken by a caller
  std::atomic<bool> ready{false};  // path written and visible to the handler
  char path[PATH_MAX];
};
Slot slots[kSlots];

const int kCleaningSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE};

// Only unlink and re-raise: both async-signal-safe.
void onSignal(int signal) {
  for (Slot& slot : slots) {
    if (slot.ready.load()) ::unlink(slot.path);
  }
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

}  // namespace

void installTemporaryFileCleanup() {
  for (int signal : kCleaningSignals) handleSignal(signal, onSignal);
  std::signal(SIGXFSZ, SIG_IGN);
}

int registerTemporaryFile(const char* path) {
  std::size_t length = std::strlen(path);
  if (length >= PATH_MAX) return -1;
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
