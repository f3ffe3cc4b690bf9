// The one terminal layer of both players: keys read raw (no echo, no
// Enter), full screens on the alternate screen, the window's size, and the
// terminal given back exactly as it was on every way out (a return, an
// error, any signal that ends the program) and on a stop (Ctrl-Z) until
// the program is continued. Nothing on a signal's path can block.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

namespace zorvik::platform {

// What standard output is: not a terminal; a terminal that takes no
// control sequences (TERM unset, empty, "dumb", or one the terminal
// database does not know); or one that takes them.
enum class Output { NotTerminal, Plain, Screen };
Output outputKind();

struct TerminalUse {
  // Draw full screens: the alternate screen, the cursor hidden (on an
  // Output::Screen terminal only).
  bool screen = false;
  // Read keys raw from standard input when it is a terminal.
  bool keys = false;
  // Ctrl-C and Ctrl-\ stay signals; otherwise they are keys like any other.
  bool keySignals = true;
};

// At most one at a time in a process: the signal handlers share its state.
class Terminal {
 public:
  explicit Terminal(TerminalUse use);
  ~Terminal();  // gives the terminal back
  Terminal(const Terminal&) = delete;
  Terminal& operator=(const Terminal&) = delete;

  bool drawsScreen() const { return screen_; }
  bool readsKeys() const { return keys_; }

  // Waits up to `timeout` for bytes from the keyboard and appends them to
  // bytes; false once input has ended (the terminal is gone).
  bool read(std::string& bytes, std::chrono::milliseconds timeout);

  // Waits for one key (end of input counts as one, so it never hangs when
  // standard input is not a terminal).
  void waitKey();

  // Whether what was drawn must be drawn afresh (the window was resized,
  // or the program was continued after a stop); clears it.
  bool takeRedraw();

  struct Size {
    int columns;
    int lines;
    friend bool operator==(const Size&, const Size&) = default;
  };
  // The window's size; 80x24 when it cannot be told.
  Size size() const;

  // Writes to standard output whole, retrying what a signal interrupts;
  // false on an error.
  static bool write(std::string_view bytes);

  // Gives the terminal back now, for good (the destructor does it too).
  void release();

 private:
  bool screen_ = false;
  bool keys_ = false;
};

// Gives the terminal back from anywhere, a signal handler included.
void giveTerminalBack();

// The window's size (Terminal::size()), and whether what was drawn must be
// drawn afresh (Terminal::takeRedraw()), for code that has no Terminal at
// hand, such as an audio callback.
Terminal::Size terminalSize();
bool takeTerminalRedraw();

}  // namespace zorvik::platform
