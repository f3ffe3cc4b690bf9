// Installing a signal handler the way every program here does: a signal
// ignored from the start (SIGINT and SIGQUIT for a shell's background job)
// stays ignored, and interrupted calls restart.
#pragma once

#include <csignal>

namespace zorvik {

inline void handleSignal(int signal, void (*handler)(int)) {
  struct sigaction old {};
  if (::sigaction(signal, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) return;
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  ::sigaction(signal, &action, nullptr);
}

}  // namespace zorvik
