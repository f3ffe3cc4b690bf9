// The notes of a song that will not sound or not show, for the tools to warn
// about: an instrument with no sample in a bank, a pitch row past the note
// table, a row the piano roll has no line for.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "formats/song.hpp"

namespace zorvik {

struct CellWarning {
  int step;
  int channel;          // 0 to 2: users read it as channel 1 to 3
  std::string message;  // "A5 plays but the roll cannot show it (it shows B3 to G5, ...)"
};

// One warning at most per cell, in step then channel order.
std::vector<CellWarning> checkSong(const Song& song);

// An instrument as the tools name it: its letter for 0 to 25, else "#N".
std::string instrumentName(std::uint8_t instrument);

}  // namespace zorvik
