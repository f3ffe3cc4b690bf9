// The playing screen, 21 lines rebuilt whole at every step: banner, song
// and bank, the playhead over the current step and its page of the roll.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "display/roll.hpp"
#include "display/safe_text.hpp"
#include "formats/bank.hpp"
#include "formats/song.hpp"

namespace zorvik {

inline constexpr int kScreenLines = 21;

// Lines of text, without their newlines.
using ScreenLines = std::vector<std::string>;

// How the screen reaches its reader.
enum class ScreenMode {
  Exact,     // every byte as stored, each line ended by a newline and a flush
  Terminal,  // file text made safe (safe_text.hpp), drawn over the last screen in place
};

// Appends screen lines 1 to 6: banner, title, author, bank name and author.
void drawHeader(ScreenLines& out, const Song& song, const SampleBankHeader& bank,
                TextStyle style = TextStyle::Exact);

// Appends screen lines 7 to 20: the playhead line and the page holding the
// step. Throws std::out_of_range for a step with no page.
void drawRoll(ScreenLines& out, const RollPages& pages, std::int32_t step,
              TextStyle style = TextStyle::Exact);

// All 21 lines, the last one "press any key to exit".
ScreenLines screenLines(const Song& song, const SampleBankHeader& bank, const RollPages& pages,
                        std::int32_t step, ScreenMode mode = ScreenMode::Exact);

// Lines for a terminal, each drawn over the one already there: the cursor
// goes home, each line ends by erasing the rest of its row, and what is
// below the last line is erased. Nothing scrolls and nothing is cleared, so
// the terminal's history does not grow however often it is drawn.
std::string terminalFrame(const ScreenLines& lines);

// Writes the screen at a step: in Exact mode line by line with a flush after
// each, in Terminal mode as one frame.
void redrawScreen(std::ostream& out, ScreenMode mode, const Song& song,
                  const SampleBankHeader& bank, const RollPages& pages, std::int32_t step);

}  // namespace zorvik
