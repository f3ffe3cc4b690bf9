// The playing screen, 21 lines rebuilt whole at every step: banner, song
// and bank, the playhead over the current step and its page of the roll.
#pragma once

#include <cstdint>
#include <ostream>
#include <string_view>

#include "display/roll.hpp"
#include "formats/bank.hpp"
#include "formats/song.hpp"

namespace zorvik {

// How the song's and bank's own bytes (texts, note letters) are written.
enum class FileText {
  Exact,     // byte for byte, as stored
  Printable  // control bytes shown as '?', so a file cannot drive the terminal
};

// Screen lines 1 to 6: banner, title, author, bank name and author.
void drawHeader(std::ostream& out, const Song& song, const SampleBankHeader& bank,
                FileText mode = FileText::Exact);

// Screen lines 7 to 20: the playhead line and the page holding the step.
void drawRoll(std::ostream& out, const RollPages& pages, std::int32_t step,
              FileText mode = FileText::Exact);

// The whole screen: clearSequence (which empties the console; may be
// empty), header, roll, then "press any key to exit". Every line is ended
// by a newline and a flush.
void redrawScreen(std::ostream& out, std::string_view clearSequence, const Song& song,
                  const SampleBankHeader& bank, const RollPages& pages, std::int32_t step,
                  FileText mode = FileText::Exact);

}  // namespace zorvik
