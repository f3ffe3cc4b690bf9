// zorvik info: what a song holds, and which of its notes will not play or
// not show.

#include <array>
#include <cstdio>
#include <iostream>
#include <map>
#include <string>

#include "display/safe_text.hpp"
#include "engine/sequencer.hpp"
#include "formats/song_check.hpp"
#include "tools/command.hpp"
#include "tools/input.hpp"

namespace zorvik::tool {

namespace {

constexpr CommandSpec kSpec{
    "info",
    "SONG",
    "describe a song, warn about notes that cannot play or show",
    "Prints a song's title, author, bank, tempo, step and loop length, the notes of\n"
    "each channel and the instruments they use, then a warning for every note the\n"
    "player cannot play (an instrument past the bank's 16 samples, a pitch row of 16\n"
    "or more) and every note the piano roll cannot show (rows outside 1 to 13).\n"
    "SONG is a .zvo file or a song text; '-' reads it from standard input. Control\n"
    "characters in the song's texts are shown as \\xNN.\n",
    {},
    1,
    1,
    {}};

std::string seconds(double samples) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f s", samples / kSampleRate);
  return text;
}

std::string shown(const TextField& field) { return showText(textOf(field), TextStyle::Escaped); }

int run(const ParsedArgs& args, const Context&) {
  Song song = loadSongInput(args.operands()[0]);
  std::int32_t step = stepLength(song.tempo);
  char stepMs[32];
  std::snprintf(stepMs, sizeof stepMs, "%.1f ms", step * 1000.0 / kSampleRate);
  std::array<int, kChannels> notes{};
  std::map<std::uint8_t, int> instruments;
  for (const StepCells& cells : song.cells) {
    for (int k = 0; k < kChannels; ++k) {
      if (!startsNote(cells[k])) continue;
      ++notes[k];
      ++instruments[cells[k].instrument];
    }
  }

  std::cout << "Title:        " << shown(song.title) << "\n"
            << "Author:       " << shown(song.author) << "\n"
            << "Bank:         " << shown(song.bankName) << "\n"
            << "Tempo:        " << int(song.tempo) << "\n"
            << "Step length:  " << step << " samples (" << stepMs << ")\n"
            << "Loop length:  " << static_cast<long long>(step) * kSteps << " samples ("
            << seconds(static_cast<double>(step) * kSteps) << ", 96 steps)\n"
            << "Notes:        " << notes[0] + notes[1] + notes[2] << " (channel 0: " << notes[0]
            << ", channel 1: " << notes[1] << ", channel 2: " << notes[2] << ")\n"
            << "Instruments: ";
  if (instruments.empty()) std::cout << " none";
  for (auto [instrument, count] : instruments) {
    std::cout << " " << instrumentName(instrument) << "×" << count;
  }
  std::cout << "\n";
  std::vector<CellWarning> warnings = checkSong(song);
  if (!warnings.empty()) {
    std::cout << "Warnings:     " << warnings.size() << "\n";
    for (const CellWarning& w : warnings) {
      std::cout << "  step " << w.step << ", channel " << w.channel << ": " << w.message << "\n";
    }
  }
  return 0;
}

}  // namespace

const Command kInfoCommand{kSpec, run};

}  // namespace zorvik::tool
