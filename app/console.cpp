#include "app/console.hpp"

#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <iostream>

namespace zorvik::console {

namespace {

// Written once by install() before any handler can run, then only read.
struct termios savedSettings;
std::atomic<bool> haveSavedSettings{false};

const int kRestoringSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

// Only restores the terminal and re-raises with the default action: no
// audio teardown and nothing that is not async-signal-safe.
void onSignal(int signal) {
  restore();
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

}  // namespace

void install() {
  if (::isatty(STDIN_FILENO) && ::tcgetattr(STDIN_FILENO, &savedSettings) == 0) {
    haveSavedSettings.store(true);
  }
  for (int signal : kRestoringSignals) {
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    ::sigaction(signal, &action, nullptr);
  }
}

void restore() {
  if (haveSavedSettings.load()) ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &savedSettings);
}

void waitKey() {
  bool raw = false;
  if (haveSavedSettings.load()) {
    struct termios settings = savedSettings;
    settings.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ISIG | IEXTEN);
    settings.c_iflag &= ~static_cast<tcflag_t>(IXON | ICRNL);
    settings.c_cc[VMIN] = 1;
    settings.c_cc[VTIME] = 0;
    raw = ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &settings) == 0;
  }
  char key;
  while (::read(STDIN_FILENO, &key, 1) < 0 && errno == EINTR) {
  }
  if (raw) restore();
}

std::string_view clearSequence() {
  static const bool terminal = ::isatty(STDOUT_FILENO);
  return terminal ? "\x1b[H\x1b[2J" : "";
}

void writeLine(std::string_view line) { std::cout << line << std::endl; }

}  // namespace zorvik::console
