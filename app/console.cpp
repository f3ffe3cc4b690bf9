#include "app/console.hpp"

#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <iostream>
#include <thread>

#include "app/signals.hpp"

namespace zorvik::console {

namespace {

// Written by install() and waitKey() before any handler can use them, then
// only read.
struct termios savedSettings;
struct termios rawSettings;
std::atomic<bool> haveSavedSettings{false};
std::atomic<bool> rawActive{false};
std::atomic<bool> redrawRequested{false};

void applyRaw() {
  if (rawActive.load()) ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &rawSettings);
}

// Back from a stop: raw mode again while a key is awaited, and a redraw.
void takeBack() {
  applyRaw();
  redrawRequested.store(true);
}

}  // namespace

void install() {
  if (::isatty(STDIN_FILENO) && ::tcgetattr(STDIN_FILENO, &savedSettings) == 0) {
    rawSettings = savedSettings;
    // Every key one at a time, unechoed: Ctrl-C and Ctrl-\ too, as keys.
    // The suspend key (Ctrl-Z) keeps its signal, so it stops the job as it
    // does everywhere else.
    rawSettings.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | IEXTEN);
    rawSettings.c_iflag &= ~static_cast<tcflag_t>(IXON | ICRNL);
    rawSettings.c_cc[VINTR] = _POSIX_VDISABLE;
    rawSettings.c_cc[VQUIT] = _POSIX_VDISABLE;
    rawSettings.c_cc[VMIN] = 1;
    rawSettings.c_cc[VTIME] = 0;
    haveSavedSettings.store(true);
  }
  // Only restoring the terminal on the way out: no audio teardown and
  // nothing that is not async-signal-safe.
  handleTerminalSignals(restore, takeBack);
}

void restore() {
  if (haveSavedSettings.load()) ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &savedSettings);
}

void waitKey() {
  if (haveSavedSettings.load()) {
    rawActive.store(true);
    applyRaw();
  }
  char key;
  while (::read(STDIN_FILENO, &key, 1) < 0 && errno == EINTR) {
  }
  if (rawActive.exchange(false)) restore();
}

bool takeRedrawRequest() { return redrawRequested.exchange(false); }

bool outputIsTerminal() {
  static const bool terminal = ::isatty(STDOUT_FILENO);
  return terminal;
}

void writeLine(std::string_view line) { std::cout << line << std::endl; }

void exitWithin(int status) {
  restore();
  std::thread([status] {
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    std::_Exit(status);
  }).detach();
  std::exit(status);
}

}  // namespace zorvik::console
