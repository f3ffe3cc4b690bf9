// The terminal layer on Windows: keys from the console's input events (no
// echo, no Enter), full screens drawn with the virtual-terminal sequences
// the programs write where the console carries them out, and otherwise
// with the console's own calls: the few sequences the screens use (home,
// erase to the end of the line and below, the alternate screen as a screen
// buffer of the program's own, the cursor hidden) are carried out here. The
// console's modes are given back on every way out: a return, an error,
// Ctrl-C, Ctrl-Break, closing the window.
#include <windows.h>
//
#include <io.h>

#include <atomic>
#include <string>

#include "platform/terminal.hpp"

namespace zorvik::platform {

namespace {

constexpr DWORD kVirtualTerminal = 0x0004;  // ENABLE_VIRTUAL_TERMINAL_PROCESSING

// Written before the handler is installed, then only read.
HANDLE input = INVALID_HANDLE_VALUE;
HANDLE output = INVALID_HANDLE_VALUE;
HANDLE ownScreen =
    INVALID_HANDLE_VALUE;  // the alternate screen, where sequences are not carried out
DWORD savedInput = 0;
DWORD savedOutput = 0;
std::atomic<bool> haveInput{false};
std::atomic<bool> sequences{false};  // the console carries out the sequences itself
std::atomic<bool> onOwnScreen{false};
std::atomic<bool> taken{false};
std::atomic<bool> released{false};
std::atomic<bool> redraw{false};

bool isConsole(HANDLE handle) {
  DWORD mode = 0;
  return ::GetConsoleMode(handle, &mode) != 0;
}

std::wstring wide(std::string_view utf8) {
  if (utf8.empty()) return {};
  int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
  return out;
}

HANDLE screen() { return onOwnScreen.load() ? ownScreen : output; }

void writeText(HANDLE to, std::wstring_view text) {
  DWORD done = 0;
  if (!text.empty())
    ::WriteConsoleW(to, text.data(), static_cast<DWORD>(text.size()), &done, nullptr);
}

// Blanks `cells` cells from `at` on.
void blank(HANDLE to, COORD at, DWORD cells, WORD attributes) {
  DWORD done = 0;
  ::FillConsoleOutputCharacterW(to, L' ', cells, at, &done);
  ::FillConsoleOutputAttribute(to, attributes, cells, at, &done);
}

void showCursor(HANDLE to, bool shown) {
  CONSOLE_CURSOR_INFO cursor{};
  if (::GetConsoleCursorInfo(to, &cursor)) {
    cursor.bVisible = shown ? TRUE : FALSE;
    ::SetConsoleCursorInfo(to, &cursor);
  }
}

void alternateScreen(bool on) {
  if (on && ownScreen == INVALID_HANDLE_VALUE) {
    ownScreen = ::CreateConsoleScreenBuffer(GENERIC_READ | GENERIC_WRITE,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                            CONSOLE_TEXTMODE_BUFFER, nullptr);
  }
  if (on && ownScreen != INVALID_HANDLE_VALUE && ::SetConsoleActiveScreenBuffer(ownScreen)) {
    onOwnScreen.store(true);
  } else if (!on && onOwnScreen.exchange(false)) {
    ::SetConsoleActiveScreenBuffer(output);
  }
}

// Carries out one sequence (the bytes between ESC [ and the final byte,
// and the final byte) with the console's calls; others are dropped.
void carryOut(std::string_view parameters, char final) {
  HANDLE to = screen();
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (!::GetConsoleScreenBufferInfo(to, &info)) return;
  const COORD at = info.dwCursorPosition;
  const auto width = static_cast<DWORD>(info.dwSize.X);
  switch (final) {
    case 'H':  // home: the top left of the window
      ::SetConsoleCursorPosition(to, COORD{0, info.srWindow.Top});
      break;
    case 'K':  // erase to the end of the line
      blank(to, at, width - static_cast<DWORD>(at.X), info.wAttributes);
      break;
    case 'J':  // erase below (2J: all)
      if (parameters == "2") {
        blank(to, COORD{0, 0}, width * static_cast<DWORD>(info.dwSize.Y), info.wAttributes);
      } else {
        blank(
            to, at,
            width - static_cast<DWORD>(at.X) + width * static_cast<DWORD>(info.dwSize.Y - at.Y - 1),
            info.wAttributes);
      }
      break;
    case 'h':
    case 'l':
      if (parameters == "?1049") alternateScreen(final == 'h');
      if (parameters == "?25") showCursor(screen(), final == 'h');
      break;
    default:
      break;
  }
}

// Writes text with sequences to a console that does not carry them out.
void interpret(std::string_view bytes) {
  while (!bytes.empty()) {
    std::size_t escape = bytes.find("\x1b[");
    writeText(screen(), wide(bytes.substr(0, escape)));
    if (escape == std::string_view::npos) return;
    bytes.remove_prefix(escape + 2);
    std::size_t end = 0;
    while (end < bytes.size() && !(bytes[end] >= '@' && bytes[end] <= '~')) ++end;
    if (end == bytes.size()) return;
    carryOut(bytes.substr(0, end), bytes[end]);
    bytes.remove_prefix(end + 1);
  }
}

// Whether the console carries out the sequences it was asked to: some
// accept the mode and then print them as text. A sequence that moves
// nothing is written; if the cursor moved, it was printed, and is wiped.
bool carriesOutSequences() {
  CONSOLE_SCREEN_BUFFER_INFO before{}, after{};
  if (!::GetConsoleScreenBufferInfo(output, &before)) return false;
  writeText(output, L"\x1b[0m");
  if (!::GetConsoleScreenBufferInfo(output, &after)) return false;
  if (after.dwCursorPosition.X == before.dwCursorPosition.X &&
      after.dwCursorPosition.Y == before.dwCursorPosition.Y) {
    return true;
  }
  blank(output, before.dwCursorPosition, 8, before.wAttributes);
  ::SetConsoleCursorPosition(output, before.dwCursorPosition);
  return false;
}

void writeSequences(std::string_view bytes) {
  if (sequences.load()) {
    writeText(output, wide(bytes));
  } else {
    interpret(bytes);
  }
}

constexpr char kEnter[] = "\x1b[?1049h\x1b[?25l\x1b[H\x1b[2J";  // alternate screen, no cursor
constexpr char kLeave[] = "\x1b[?25h\x1b[?1049l";               // cursor, main screen
bool drawing = false;

void giveBack() {
  if (!taken.exchange(false)) return;
  if (drawing) writeSequences(kLeave);
  if (sequences.load()) ::SetConsoleMode(output, savedOutput);
  if (haveInput.load()) ::SetConsoleMode(input, savedInput);
}

// On the console's own thread; the default handler then ends the process.
BOOL WINAPI onConsoleEvent(DWORD) {
  giveBack();
  return FALSE;
}

// A key event as the bytes a terminal sends for it.
std::string bytesOf(const KEY_EVENT_RECORD& key) {
  switch (key.wVirtualKeyCode) {
    case VK_LEFT:
      return "\x1b[D";
    case VK_RIGHT:
      return "\x1b[C";
    case VK_UP:
      return "\x1b[A";
    case VK_DOWN:
      return "\x1b[B";
    default:
      break;
  }
  wchar_t c = key.uChar.UnicodeChar;
  if (c == 0) return {};  // Shift, Ctrl and the like: no key of their own
  int n = ::WideCharToMultiByte(CP_UTF8, 0, &c, 1, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, &c, 1, out.data(), n, nullptr, nullptr);
  return out;
}

// Reads the console's pending events into bytes; false when it is gone.
bool readEvents(std::string& bytes) {
  INPUT_RECORD records[16];
  DWORD n = 0;
  if (!::ReadConsoleInputW(input, records, 16, &n)) return false;
  for (DWORD i = 0; i < n; ++i) {
    if (records[i].EventType == WINDOW_BUFFER_SIZE_EVENT) redraw.store(true);
    if (records[i].EventType != KEY_EVENT || !records[i].Event.KeyEvent.bKeyDown) continue;
    for (WORD r = 0; r < records[i].Event.KeyEvent.wRepeatCount; ++r) {
      bytes += bytesOf(records[i].Event.KeyEvent);
    }
  }
  return true;
}

}  // namespace

Output outputKind() {
  // Every console draws screens: with its sequences, or with its calls.
  return isConsole(::GetStdHandle(STD_OUTPUT_HANDLE)) ? Output::Screen : Output::NotTerminal;
}

Terminal::Terminal(TerminalUse use) {
  input = ::GetStdHandle(STD_INPUT_HANDLE);
  output = ::GetStdHandle(STD_OUTPUT_HANDLE);
  const bool console = ::GetConsoleMode(output, &savedOutput) != 0;
  screen_ = use.screen && console;
  keys_ = use.keys && ::GetConsoleMode(input, &savedInput) != 0;
  haveInput.store(keys_);
  if (console &&
      ::SetConsoleMode(output, savedOutput | kVirtualTerminal | ENABLE_PROCESSED_OUTPUT)) {
    sequences.store(carriesOutSequences());
    if (!sequences.load()) ::SetConsoleMode(output, savedOutput);
  }
  drawing = screen_;
  released.store(false);
  ::SetConsoleCtrlHandler(onConsoleEvent, TRUE);
  if (keys_) {
    // Every key one at a time, unechoed; Ctrl-C a key too unless it is to
    // stay the console's event.
    DWORD mode = savedInput & ~static_cast<DWORD>(ENABLE_LINE_INPUT | ENABLE_ECHO_INPUT);
    if (!use.keySignals) mode &= ~static_cast<DWORD>(ENABLE_PROCESSED_INPUT);
    ::SetConsoleMode(input, mode | ENABLE_WINDOW_INPUT);
  }
  if (drawing) writeSequences(kEnter);
  taken.store(true);
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
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (::GetConsoleScreenBufferInfo(screen(), &info)) {
    return {info.srWindow.Right - info.srWindow.Left + 1,
            info.srWindow.Bottom - info.srWindow.Top + 1};
  }
  return {80, 24};
}

bool Terminal::write(std::string_view bytes) {
  if (isConsole(::GetStdHandle(STD_OUTPUT_HANDLE))) {
    writeSequences(bytes);
    return true;
  }
  while (!bytes.empty()) {
    int n = ::_write(1, bytes.data(),
                     static_cast<unsigned>(std::min<std::size_t>(bytes.size(), 1u << 30)));
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

bool Terminal::read(std::string& bytes, std::chrono::milliseconds timeout) {
  if (!keys_) return false;
  if (::WaitForSingleObject(input, static_cast<DWORD>(timeout.count())) != WAIT_OBJECT_0)
    return true;
  return readEvents(bytes);
}

void Terminal::waitKey() {
  if (!keys_) {
    // Not a console: one byte, and the end of input counts as a key.
    char key;
    (void)::_read(0, &key, 1);
    return;
  }
  std::string bytes;
  while (bytes.empty() && readEvents(bytes)) {
  }
}

void giveTerminalBack() { giveBack(); }

}  // namespace zorvik::platform
