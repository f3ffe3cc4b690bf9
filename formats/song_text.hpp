// The plain-text form of a song: readable, diff-friendly, and exact. Every
// byte of every cell and text field survives decompile then compile.
//
//   title  "First Light"
//   author "Zorvik Player"
//   bank   "default.zvi"
//   tempo  100
//
//   # bar 1
//            12a     ---     3m     # step 0
//
// A cell is "---" (no note), a pitch row with the instrument's letter as
// the roll shows it ('a' for 0 to 'z' for 25), or PITCH:INSTRUMENT in
// decimal for any two bytes. '#' starts a comment. Exactly 96 step lines.
#pragma once

#include <string>
#include <string_view>

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

// The largest song text read: far beyond any real song.
inline constexpr std::size_t kMaxSongTextBytes = 1 << 20;

// Builds a song from its text; throws SongTextError naming the line and
// column and what was expected there.
Song compileSongText(std::string_view text);

// The text of a song. Text fields are written up to their first zero byte.
std::string decompileSong(const Song& song);

}  // namespace zorvik
