// Installing signal handlers the way every program here does: a signal
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

// For a program that changes the terminal: on SIGINT, SIGTERM, SIGHUP and
// SIGQUIT `giveBack` runs, then the signal ends the program as it would
// have; on SIGTSTP `giveBack` runs and the program stops; when it is
// continued (SIGCONT) `takeBack` runs. Both must be async-signal-safe.
void handleTerminalSignals(void (*giveBack)(), void (*takeBack)());

}  // namespace zorvik
