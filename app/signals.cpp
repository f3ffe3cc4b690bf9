#include "app/signals.hpp"

#include <atomic>
#include <cerrno>

namespace zorvik {

namespace {

std::atomic<void (*)()> giveBackHook{nullptr};
std::atomic<void (*)()> takeBackHook{nullptr};

void onEndingSignal(int signal) {
  giveBackHook.load()();
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

void onStop(int) {
  int saved = errno;
  giveBackHook.load()();
  std::raise(SIGSTOP);  // continued here, once SIGCONT's handler has run
  errno = saved;
}

void onContinue(int) {
  int saved = errno;
  takeBackHook.load()();
  errno = saved;
}

}  // namespace

void handleTerminalSignals(void (*giveBack)(), void (*takeBack)()) {
  giveBackHook.store(giveBack);
  takeBackHook.store(takeBack);
  for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) handleSignal(signal, onEndingSignal);
  handleSignal(SIGTSTP, onStop);
  handleSignal(SIGCONT, onContinue);
}

}  // namespace zorvik
