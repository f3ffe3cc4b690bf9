#include "app/console.hpp"

#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
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

const int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

// Only restores the terminal and re-raises with the default action: no
// audio teardown and nothing that is not async-signal-safe.
void onEndingSignal(int signal) {
  restore();
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

void applyRaw() {
  if (rawActive.load()) ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &rawSettings);
}

void onStop(int) {
  int savedErrno = errno;
  restore();
  // Stops here until continued; SIGCONT's handler then takes raw mode back.
  std::raise(SIGSTOP);
  errno = savedErrno;
}

void onContinue(int) {
  int savedErrno = errno;
  applyRaw();
  redrawRequested.store(true);
  errno = savedErrno;
}

}  // namespace

void install() {
  if (::isatty(STDIN_FILENO) && ::tcgetattr(STDIN_FILENO, &savedSettings) == 0) {
    rawSettings = savedSettings;
    rawSettings.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ISIG | IEXTEN);
    rawSettings.c_iflag &= ~static_cast<tcflag_t>(IXON | ICRNL);
    rawSettings.c_cc[VMIN] = 1;
    rawSettings.c_cc[VTIME] = 0;
    haveSavedSettings.store(true);
  }
  for (int signal : kEndingSignals) handleSignal(signal, onEndingSignal);
  handleSignal(SIGTSTP, onStop);
  handleSignal(SIGCONT, onContinue);
}

void restore() {
  if (haveSavedSettings.load()) ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &savedSettings);
}

void waitKey() {
  if (haveSavedSettings.load()) {
    rawActive.store(true);
    applyRaw();
  }
  // The terminal's suspend key (Ctrl-Z) suspends, as it does everywhere
  // else, rather than counting as the key.
  const bool suspendKey = rawActive.load() && (savedSettings.c_lflag & ISIG) != 0 &&
                          savedSettings.c_cc[VSUSP] != _POSIX_VDISABLE;
  for (;;) {
    unsigned char key;
    ssize_t n = ::read(STDIN_FILENO, &key, 1);
    if (n < 0 && errno == EINTR) continue;
    if (n == 1 && suspendKey && key == savedSettings.c_cc[VSUSP]) {
      std::raise(SIGTSTP);
      continue;
    }
    break;
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
