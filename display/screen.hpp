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

// Lines for a terminal of `columns` x `rows` (0: as many as there are),
// each drawn over the one already there: the cursor goes home, each line
// is cut to the window's width and ends by erasing the rest of its row,
// the lines below the window's last row are left out, and what is below
// the last line is erased. No newline follows the last row, so nothing
// scrolls and nothing is cleared: the terminal's history does not grow
// however often it is drawn, whatever the window's size.
std::string terminalFrame(const ScreenLines& lines, int columns = 0, int rows = 0);

// Writes the screen at a step: in Exact mode line by line with a flush after
// each, in Terminal mode as one frame.
void redrawScreen(std::ostream& out, ScreenMode mode, const Song& song,
                  const SampleBankHeader& bank, const RollPages& pages, std::int32_t step);

}  // namespace zorvik
