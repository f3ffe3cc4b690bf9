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
    "Prints a song's title, author, bank, tempo (and its beats a minute, at four\n"
    "steps a beat), step and loop length, the notes of each channel (1 to 3) and\n"
    "the instruments they use, then a warning for every note the player cannot play\n"
    "(an instrument past the bank's 16 samples, a pitch row of 16 or more) and every\n"
    "note the piano roll cannot show (rows outside 1 to 13), naming the note.\n"
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

// Four steps make a beat.
std::string beatsPerMinute(std::int32_t step) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", 60.0 * kSampleRate / (4.0 * step));
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
            << "Tempo:        " << int(song.tempo) << " (" << beatsPerMinute(step)
            << " beats a minute, at four steps a beat)\n"
            << "Step length:  " << step << " samples (" << stepMs << ")\n"
            << "Loop length:  " << static_cast<long long>(step) * kSteps << " samples ("
            << seconds(static_cast<double>(step) * kSteps) << ", 96 steps)\n"
            << "Notes:        " << notes[0] + notes[1] + notes[2] << " (channel 1: " << notes[0]
            << ", channel 2: " << notes[1] << ", channel 3: " << notes[2] << ")\n"
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
      std::cout << "  step " << w.step << ", channel " << w.channel + 1 << ": " << w.message
                << "\n";
    }
  }
  return 0;
}

}  // namespace

const Command kInfoCommand{kSpec, run};

}  // namespace zorvik::tool
