// The plain-text form of a song: readable, diff-friendly, and exact. Every
// byte of every cell and text field survives decompile then compile.
//
//   title  "First Light"
//   author "Zorvik Player"
//   bank   "default.zvi"
//   tempo  100
//
//   # bar 1
//            C4a     ---     4:30    # step 0
//   24:      C4a     ---     G4h
//
// After the four header lines come the steps, one line each, three cells a
// line. A line may begin with its step number and a colon; steps not written
// are empty, numbered lines ascend, and an unnumbered line is the step after
// the one before. A cell is "---" (no note), a pitch and the instrument's
// letter as the roll shows it ('a' for 0 to 'z' for 25), or
// PITCH:INSTRUMENT with the instrument in decimal, for any two bytes. A
// pitch is a row number (0 to 255) or, for rows 0 to 15, the name of the
// note the default bank plays there (A#3 or Bb3, B3, C4 ... B5). '#'
// starts a comment; a UTF-8 byte-order mark at the start is skipped.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "formats/error.hpp"
#include "formats/song.hpp"

namespace zorvik {

class SongTextError : public Error {
 public:
  SongTextError(int line, int column, const std::string& message);
  int line() const { return line_; }
  int column() const { return column_; }

 private:
  int line_;
  int column_;
};

// A note that will not sound or not show, where the text has it.
struct SongTextWarning {
  int line;
  int column;
  std::string message;
};

// The names of pitch rows 0 to 15: the notes the default bank plays there
// (tuned so that row 2 is C4). Row 0 may also be written "Bb3".
inline constexpr std::array<std::string_view, kPitchRows> kNoteNames = {
    "A#3", "B3", "C4", "D4", "E4", "F4", "G4", "A4",
    "B4",  "C5", "D5", "E5", "F5", "G5", "A5", "B5"};

// The pitch row a note name stands for, if it is one.
std::optional<std::uint8_t> noteRow(std::string_view name);

// The largest song text read: far beyond any real song.
inline constexpr std::size_t kMaxSongTextBytes = 1 << 20;

// Builds a song from its text; throws SongTextError naming the line and
// column and what was expected there. When warnings is given, it receives
// the cells that cannot sound or show (formats/song_check), with where the
// text has them.
Song compileSongText(std::string_view text, std::vector<SongTextWarning>* warnings = nullptr);

// A pitch row as the text writes it: its note name for rows 0 to 15
// ("C4"), else its number ("20").
std::string pitchText(std::uint8_t pitch);

// A cell as the text writes it: "---", "C4a", "20b", "D4:30".
std::string cellText(const SongCell& cell);

struct TextLayout {
  bool sparse = false;  // only the steps that hold something, numbered
};

// The text of a song. Text fields are written up to their last byte that is
// not zero (zeros before it as \x00), pitch rows 0 to 15 as note names.
std::string decompileSong(const Song& song, TextLayout layout = {});

}  // namespace zorvik
