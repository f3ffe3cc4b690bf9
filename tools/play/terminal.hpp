// The terminal of zorvik play: the alternate screen, keys read raw, the
// window's size, and the terminal given back exactly as it was on every
// way out (a key, the end, an error, SIGINT, SIGTERM, SIGHUP, SIGQUIT) and
// on a stop (Ctrl-Z) until the program is continued.
#pragma once

#include <chrono>
#include <string>
#include <string_view>
#include <utility>

namespace zorvik::play {

enum class Key {
  None,
  Space,
  Quit,
  Next,
  Previous,
  Back,
  Forward,
  Mute1,
  Mute2,
  Mute3,
  Louder,
  Softer,
  Help,
  Other
};

class Terminal {
 public:
  // Takes the terminal when standard output is one: to draw on it (unless
  // draw is false) and to read keys from standard input when that is a
  // terminal too (unless keys is false).
  Terminal(bool draw, bool keys);
  ~Terminal();  // gives it back
  Terminal(const Terminal&) = delete;
  Terminal& operator=(const Terminal&) = delete;

  bool draws() const { return draws_; }
  bool readsKeys() const { return keys_; }

  // Waits up to `timeout` for a key; Key::None when none came.
  Key nextKey(std::chrono::milliseconds timeout);

  // Whether the screen must be drawn afresh (the window was resized, or the
  // program was continued after a stop); clears it.
  bool takeRedraw();

  struct Size {
    int columns;
    int lines;
    friend bool operator==(const Size&, const Size&) = default;
  };
  Size size() const;

  // Draws a frame (from terminalFrame()).
  void draw(const std::string& frame);

  // Gives the terminal back now (the destructor does it too).
  void release();

 private:
  bool draws_ = false;
  bool keys_ = false;
  std::string pending_;  // bytes read but not yet made keys
};

// Decodes the first key of bytes read from the terminal; returns it and how
// many bytes it took (0 when the bytes may be the start of a longer key).
std::pair<Key, std::size_t> decodeKey(std::string_view bytes, bool more);

}  // namespace zorvik::play
