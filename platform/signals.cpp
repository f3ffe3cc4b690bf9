#include "platform/signals.hpp"

#include <atomic>
#include <cerrno>

namespace zorvik {

namespace {

std::atomic<void (*)()> giveBackHook{nullptr};
std::atomic<void (*)()> takeBackHook{nullptr};

// Every signal whose default action ends the process, but SIGKILL and
// SIGSTOP, which cannot be caught.
constexpr int kEndingSignals[] = {SIGINT,  SIGTERM, SIGHUP,  SIGQUIT,   SIGPIPE, SIGALRM, SIGUSR1,
                                  SIGUSR2, SIGXCPU, SIGXFSZ, SIGVTALRM, SIGPROF, SIGSEGV, SIGBUS,
                                  SIGFPE,  SIGILL,  SIGABRT, SIGTRAP,   SIGSYS};

void onEndingSignal(int signal) {
  giveBackHook.load()();
  // Ends the process as the signal would have: a fault raised again by
  // the instruction it came from meets the default action too.
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

bool handleSignal(int signal, void (*handler)(int)) {
  struct sigaction old {};
  if (::sigaction(signal, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) return false;
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  return ::sigaction(signal, &action, nullptr) == 0;
}

void handleTerminalSignals(void (*giveBack)(), void (*takeBack)()) {
  giveBackHook.store(giveBack);
  takeBackHook.store(takeBack);
  for (int signal : kEndingSignals) handleSignal(signal, onEndingSignal);
  handleSignal(SIGTSTP, onStop);
  handleSignal(SIGCONT, onContinue);
}

}  // namespace zorvik
