#include "tools/play/terminal.hpp"

#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>

#include "app/signals.hpp"
#include "tools/output_file.hpp"

namespace zorvik::play {

namespace {

// Written before the handlers are installed, then only read.
struct termios savedSettings;
struct termios rawSettings;
std::atomic<bool> haveSettings{false};
std::atomic<bool> drawing{false};
std::atomic<bool> taken{false};     // the terminal is ours now
std::atomic<bool> released{false};  // given back for good: a continue leaves it be
std::atomic<bool> redraw{false};

constexpr char kEnter[] = "\x1b[?1049h\x1b[?25l\x1b[H\x1b[2J";  // alternate screen, no cursor
constexpr char kLeave[] = "\x1b[?25h\x1b[?1049l";               // cursor, main screen

void writeAll(const char* text, std::size_t n) {
  (void)tool::writeAll(STDOUT_FILENO, {reinterpret_cast<const std::uint8_t*>(text), n});
}

// Both async-signal-safe: only write and tcsetattr.
void take() {
  if (haveSettings.load()) ::tcsetattr(STDIN_FILENO, TCSADRAIN, &rawSettings);
  if (drawing.load()) writeAll(kEnter, sizeof kEnter - 1);
  taken.store(true);
  redraw.store(true);
}

void giveBack() {
  if (!taken.exchange(false)) return;
  if (drawing.load()) writeAll(kLeave, sizeof kLeave - 1);
  if (haveSettings.load()) ::tcsetattr(STDIN_FILENO, TCSADRAIN, &savedSettings);
}

void takeBack() {
  if (!released.load()) take();
}

void onResize(int) { redraw.store(true); }

}  // namespace

Terminal::Terminal(bool draw, bool keys) {
  const bool terminal = ::isatty(STDOUT_FILENO) != 0;
  draws_ = draw && terminal;
  keys_ = keys && terminal && ::isatty(STDIN_FILENO) != 0 &&
          ::tcgetattr(STDIN_FILENO, &savedSettings) == 0;
  if (keys_) {
    rawSettings = savedSettings;
    // Keys one at a time and unechoed; Ctrl-C and Ctrl-Z keep their signals.
    rawSettings.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
    rawSettings.c_cc[VMIN] = 0;
    rawSettings.c_cc[VTIME] = 0;
    haveSettings.store(true);
  }
  drawing.store(draws_);
  if (!draws_ && !keys_) return;
  handleTerminalSignals(giveBack, takeBack);
  handleSignal(SIGWINCH, onResize);
  take();
}

Terminal::~Terminal() { release(); }

void Terminal::release() {
  released.store(true);
  giveBack();
}

bool Terminal::takeRedraw() { return redraw.exchange(false); }

Terminal::Size Terminal::size() const {
  struct winsize ws {};
  if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0 && ws.ws_row > 0) {
    return {ws.ws_col, ws.ws_row};
  }
  return {80, 24};
}

void Terminal::draw(const std::string& frame) { writeAll(frame.data(), frame.size()); }

Key Terminal::nextKey(std::chrono::milliseconds timeout) {
  if (!keys_) {
    if (timeout.count() > 0) ::poll(nullptr, 0, static_cast<int>(timeout.count()));
    return Key::None;
  }
  for (;;) {
    auto [key, used] = decodeKey(pending_, true);
    if (used > 0) {
      pending_.erase(0, used);
      return key;
    }
    struct pollfd in {
      STDIN_FILENO, POLLIN, 0
    };
    // An escape alone is Esc only once nothing follows it for a moment.
    int wait = pending_.empty() ? static_cast<int>(timeout.count()) : 30;
    int ready = ::poll(&in, 1, wait);
    if (ready < 0 && errno == EINTR) return Key::None;  // a signal: let the caller look
    if (ready <= 0) {
      if (pending_.empty()) return Key::None;
      auto [last, n] = decodeKey(pending_, false);
      pending_.erase(0, n);
      return last;
    }
    char bytes[64];
    ssize_t n = ::read(STDIN_FILENO, bytes, sizeof bytes);
    if (n <= 0) {
      keys_ = false;  // the terminal is gone
      return Key::None;
    }
    pending_.append(bytes, static_cast<std::size_t>(n));
  }
}

std::pair<Key, std::size_t> decodeKey(std::string_view bytes, bool more) {
  if (bytes.empty()) return {Key::None, 0};
  switch (bytes[0]) {
    case ' ':
      return {Key::Space, 1};
    case 'q':
      return {Key::Quit, 1};
    case 'n':
      return {Key::Next, 1};
    case 'p':
      return {Key::Previous, 1};
    case '1':
      return {Key::Mute1, 1};
    case '2':
      return {Key::Mute2, 1};
    case '3':
      return {Key::Mute3, 1};
    case '+':
    case '=':
      return {Key::Louder, 1};
    case '-':
      return {Key::Softer, 1};
    case '?':
      return {Key::Help, 1};
    case '\x1b':
      break;
    default:
      return {Key::Other, 1};
  }
  // Esc, or the start of a key's sequence: ESC [ C, ESC O D ...
  if (bytes.size() == 1)
    return more ? std::pair{Key::None, std::size_t{0}} : std::pair{Key::Quit, std::size_t{1}};
  if (bytes[1] != '[' && bytes[1] != 'O') return {Key::Quit, 1};
  // A CSI sequence ends with a byte from '@' to '~'.
  std::size_t end = 2;
  while (end < bytes.size() && !(bytes[end] >= '@' && bytes[end] <= '~')) ++end;
  if (end == bytes.size())
    return more ? std::pair{Key::None, std::size_t{0}} : std::pair{Key::Other, bytes.size()};
  switch (bytes[end]) {
    case 'C':
      return {Key::Forward, end + 1};
    case 'D':
      return {Key::Back, end + 1};
    default:
      return {Key::Other, end + 1};
  }
}

}  // namespace zorvik::play
