// What zorvik play shows: the player's banner, header and roll with the
// playhead on the step being heard, and a status line; or, in a terminal
// too small for that, a compact view. Every line fits the terminal's width
// and there are never more lines than it has: the status line is the last
// to go.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/play/deck.hpp"

namespace zorvik::play {

// The full view needs this much; smaller terminals get the compact one.
inline constexpr int kFullColumns = 55;
inline constexpr int kFullLines = 23;

// The volume's bounds in play: past these the limiter would clip most of
// the song, or nothing would be heard.
inline constexpr int kPlayMinGainDb = -30;
inline constexpr int kPlayMaxGainDb = 20;

struct Status {
  int song = 1;  // 1-based
  int songs = 1;
  std::uint64_t loop = 0;     // 0-based
  std::uint64_t seconds = 0;  // since the song began
  std::uint64_t length = 0;   // the song's length in seconds, as it plays (0: not shown)
  bool paused = false;
  unsigned muted = 0;   // bit k: channel k+1
  int volume = 0;       // dB
  std::string message;  // a warning, an error or the keys; shown under the status
  friend bool operator==(const Status&, const Status&) = default;
};

// "song 2/3 | loop 1 | 0:42 / 1:10 | paused | muted 1 3 | -3 dB"
std::string statusLine(const Status& status);

// The lines to draw, at most `lines` of them, none wider than `columns`.
std::vector<std::string> playView(const Deck& deck, int step, const Status& status, int columns,
                                  int lines);

// The keys, for the message line: it fits the full view's width.
inline constexpr const char* kKeysHelp = "space pause q quit n/p song <-/-> seek 1-3 mute +/- vol";

}  // namespace zorvik::play
