#include "platform/terminal.hpp"

#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <initializer_list>

#include "platform/signals.hpp"

namespace zorvik::platform {

namespace {

// Written before the handlers are installed, then only read.
struct termios savedSettings;
struct termios rawSettings;
std::atomic<bool> haveSettings{false};
std::atomic<bool> drawing{false};   // on the alternate screen while ours
std::atomic<bool> taken{false};     // the terminal is ours now
std::atomic<bool> released{false};  // given back for good: a continue leaves it be
std::atomic<bool> redraw{false};

constexpr char kEnter[] = "\x1b[?1049h\x1b[?25l\x1b[H\x1b[2J";  // alternate screen, no cursor
constexpr char kLeave[] = "\x1b[?25h\x1b[?1049l";               // cursor, main screen

// Async-signal-safe, and never blocks: a terminal whose output is stopped
// or full gets nothing rather than a process that hangs on its way out.
void writeIfReady(const char* text, std::size_t n) {
  while (n > 0) {
    struct pollfd out {
      STDOUT_FILENO, POLLOUT, 0
    };
    if (::poll(&out, 1, 0) != 1 || (out.revents & POLLOUT) == 0) return;
    ssize_t w = ::write(STDOUT_FILENO, text, n);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return;
    text += w;
    n -= static_cast<std::size_t>(w);
  }
}

// The modes, all async-signal-safe: TCSANOW, as draining output could wait
// for ever on a stopped terminal.
void applyRaw() {
  if (haveSettings.load()) ::tcsetattr(STDIN_FILENO, TCSANOW, &rawSettings);
}

void applySaved() {
  if (!haveSettings.load()) return;
  // Bytes typed but not read (the rest of an arrow key's sequence) are not
  // left for the shell.
  ::tcflush(STDIN_FILENO, TCIFLUSH);
  ::tcsetattr(STDIN_FILENO, TCSANOW, &savedSettings);
}

void take() {
  applyRaw();
  if (drawing.load()) writeIfReady(kEnter, sizeof kEnter - 1);
  taken.store(true);
}

void giveBack() {
  if (!taken.exchange(false)) return;
  if (drawing.load()) writeIfReady(kLeave, sizeof kLeave - 1);
  applySaved();
}

void takeBack() {
  if (released.load()) return;
  take();
  redraw.store(true);
}

void onResize(int) { redraw.store(true); }

// Whether the terminal database has an entry for a terminal name.
bool knownTerminal(const std::string& name) {
  if (name.find('/') != std::string::npos) return false;
  std::string dirs;
  if (const char* d = std::getenv("TERMINFO")) dirs += std::string(d) + ":";
  if (const char* home = std::getenv("HOME")) dirs += std::string(home) + "/.terminfo:";
  if (const char* d = std::getenv("TERMINFO_DIRS")) dirs += std::string(d) + ":";
  dirs += "/etc/terminfo:/lib/terminfo:/usr/share/terminfo:/usr/lib/terminfo";
  static const char kHex[] = "0123456789abcdef";
  const auto first = static_cast<unsigned char>(name[0]);
  for (std::size_t start = 0; start <= dirs.size();) {
    std::size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    std::string dir = dirs.substr(start, end - start);
    start = end + 1;
    if (dir.empty()) continue;
    struct stat st {};
    for (const std::string& sub :
         {std::string(1, name[0]), std::string{kHex[first >> 4], kHex[first & 15]}}) {
      std::string path = dir;
      path += '/';
      path += sub;
      path += '/';
      path += name;
      if (::stat(path.c_str(), &st) == 0) return true;
    }
  }
  return false;
}

}  // namespace

Output outputKind() {
  if (::isatty(STDOUT_FILENO) == 0) return Output::NotTerminal;
  const char* term = std::getenv("TERM");
  if (term == nullptr || *term == '\0' || std::string_view(term) == "dumb") return Output::Plain;
  // The families every terminal of today answers to, even where the
  // database is not installed.
  const std::string name = term;
  for (std::string_view family : {"xterm", "screen", "tmux", "rxvt", "linux", "vt100", "vt220"}) {
    if (name.starts_with(family)) return Output::Screen;
  }
  return knownTerminal(name) ? Output::Screen : Output::Plain;
}

Terminal::Terminal(TerminalUse use) {
  screen_ = use.screen && outputKind() == Output::Screen;
  keys_ = use.keys && ::isatty(STDIN_FILENO) != 0 && ::tcgetattr(STDIN_FILENO, &savedSettings) == 0;
  if (keys_) {
    rawSettings = savedSettings;
    // Every key one at a time, unechoed, Ctrl-S and Ctrl-Q too (flow
    // control would freeze the program's output). The suspend key keeps
    // its signal, so Ctrl-Z stops the job as it does everywhere.
    rawSettings.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | IEXTEN);
    rawSettings.c_iflag &= ~static_cast<tcflag_t>(IXON | ICRNL);
    if (!use.keySignals) {
      rawSettings.c_cc[VINTR] = _POSIX_VDISABLE;
      rawSettings.c_cc[VQUIT] = _POSIX_VDISABLE;
    }
    rawSettings.c_cc[VMIN] = 1;
    rawSettings.c_cc[VTIME] = 0;
    haveSettings.store(true);
  }
  drawing.store(screen_);
  released.store(false);
  handleTerminalSignals(giveBack, takeBack);
  if (::isatty(STDOUT_FILENO) != 0) handleSignal(SIGWINCH, onResize);
  take();
}

Terminal::~Terminal() { release(); }

void Terminal::release() {
  released.store(true);
  giveBack();
}

bool Terminal::takeRedraw() { return takeTerminalRedraw(); }

bool takeTerminalRedraw() { return redraw.exchange(false); }

Terminal::Size Terminal::size() const { return terminalSize(); }

Terminal::Size terminalSize() {
  struct winsize ws {};
  if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0 && ws.ws_row > 0) {
    return {ws.ws_col, ws.ws_row};
  }
  return {80, 24};
}

bool Terminal::write(std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = ::write(STDOUT_FILENO, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

bool Terminal::read(std::string& bytes, std::chrono::milliseconds timeout) {
  struct pollfd in {
    STDIN_FILENO, POLLIN, 0
  };
  int ready = ::poll(&in, 1, static_cast<int>(timeout.count()));
  if (ready <= 0) return true;  // nothing yet, or a signal: let the caller look
  char buffer[64];
  ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
  if (n < 0 && errno == EINTR) return true;
  if (n <= 0) return false;
  bytes.append(buffer, static_cast<std::size_t>(n));
  return true;
}

void Terminal::waitKey() {
  char key;
  while (::read(STDIN_FILENO, &key, 1) < 0 && errno == EINTR) {
  }
}

void giveTerminalBack() { giveBack(); }

}  // namespace zorvik::platform
