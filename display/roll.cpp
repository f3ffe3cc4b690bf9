#include "display/roll.hpp"

namespace zorvik {

namespace {

// A staff line: its two first characters, a four-column pattern twelve
// times, then its three last characters.
std::string staffLine(const char* lead, const char* cell, const char* tail) {
  std::string line = lead;
  for (int i = 0; i < 12; ++i) line += cell;
  return line + tail;
}

RollPage templatePage(int page) {
  const std::string blank(kRollWidth, ' ');
  const char* ruled = "+---";
  const char* open = "|   ";
  RollPage lines;
  lines.fill(blank);
  if (page == 0) {
    lines[1] = staffLine("/-", ruled, "+->");
    for (int l = 2; l <= 8; ++l) {
      lines[l] = l % 2 == 0 ? staffLine("| ", open, "| >") : staffLine("|-", ruled, "+->");
    }
    lines[9] = staffLine("\\-", ruled, "+->");
  } else {
    lines[1] = staffLine("<-", ruled, "+-\\");
    for (int l = 2; l <= 8; ++l) {
      lines[l] = l % 2 == 0 ? staffLine("< ", open, "| |") : staffLine("<-", ruled, "+-|");
    }
    lines[9] = staffLine("<-", ruled, "+-/");
  }
  return lines;
}

}  // namespace

RollPages buildRollPages(const Song& song) {
  RollPages pages{templatePage(0), templatePage(1)};
  for (int step = 0; step < kSteps; ++step) {
    RollPage& page = pages[step / kStepsPerPage];
    // Channels in order, so the highest channel's mark wins a shared place.
    for (const SongCell& cell : song.cells[step]) {
      if (!rollShowsRow(cell.pitch)) continue;
      page[rollLine(cell.pitch)][rollColumn(step)] = instrumentLetter(cell.instrument);
    }
  }
  return pages;
}

}  // namespace zorvik
