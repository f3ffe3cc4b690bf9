// Signals on Windows: the C library's few (SIGINT, SIGTERM and the faults);
// a terminal program's way out is the console's events (Ctrl-C,
// Ctrl-Break, closing the window), on a thread of their own.
#include <windows.h>

#include <atomic>

#include "platform/signals.hpp"

namespace zorvik {

namespace {

std::atomic<void (*)()> giveBackHook{nullptr};

BOOL WINAPI onConsoleEvent(DWORD) {
  if (auto hook = giveBackHook.load()) hook();
  return FALSE;  // the default handler ends the process
}

}  // namespace

bool handleSignal(int signal, void (*handler)(int)) {
  auto old = std::signal(signal, handler);
  if (old == SIG_ERR) return false;
  if (old == SIG_IGN) {
    std::signal(signal, SIG_IGN);
    return false;
  }
  return true;
}

// There is no stop and no continue: takeBack is never called.
void handleTerminalSignals(void (*giveBack)(), void (*)()) {
  giveBackHook.store(giveBack);
  ::SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

}  // namespace zorvik
