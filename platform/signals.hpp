// Installing signal handlers the way every program here does: a signal
// ignored from the start (SIGINT and SIGQUIT for a shell's background job,
// SIGHUP under nohup) stays ignored, and interrupted calls restart.
#pragma once

#include <csignal>

namespace zorvik {

// Installs handler for signal unless the signal is ignored; returns whether
// it did.
bool handleSignal(int signal, void (*handler)(int));

// For a program that changes the terminal: on every signal that would end
// the program and can be caught (SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE,
// SIGSEGV, SIGABRT and the rest) `giveBack` runs, then the signal ends the
// program as it would have; on SIGTSTP `giveBack` runs and the program
// stops; when it is continued (SIGCONT) `takeBack` runs. Both must be
// async-signal-safe and must never block.
void handleTerminalSignals(void (*giveBack)(), void (*takeBack)());

}  // namespace zorvik
