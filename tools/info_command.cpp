// zorvik info: what a song holds, and which of its notes will not play or
// not show.

#include <array>
#include <cstdio>
#include <iostream>
#include <map>
#include <sstream>
#include <string>

#include "engine/player.hpp"
#include "formats/load_error.hpp"
#include "formats/song.hpp"
#include "tools/command.hpp"

namespace zorvik::tool {

namespace {

constexpr const char* kHelp =
    "Usage: zorvik info SONG.zvo\n"
    "\n"
    "Prints a song's title, author, bank, tempo, step and loop length, the notes of\n"
    "each channel and the instruments they use, then a warning for every note the\n"
    "player cannot play (an instrument past the bank's 16 samples, a pitch row of 16\n"
    "or more) and every note the piano roll cannot show (rows outside 1 to 13).\n"
    "\n"
    "Options:\n"
    "  -h, --help     show this help\n";

std::string instrumentName(std::uint8_t instrument) {
  if (instrument < 26) return std::string(1, static_cast<char>('a' + instrument));
  return "#" + std::to_string(instrument);
}

std::string seconds(double samples) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f s", samples / kBankSampleRate);
  return text;
}

}  // namespace

int infoCommand(Args args) {
  if (args.size() == 1 && isHelp(args[0])) {
    std::cout << kHelp;
    return 0;
  }
  if (args.size() != 1 || (args[0][0] == '-' && args[0][1] != '\0')) {
    return usageError("info", "expected one song file");
  }
  std::string path = args[0];
  Song song;
  try {
    song = loadSong(path);
  } catch (const LoadError& e) {
    return fail(path + ": " + e.what());
  }

  std::int32_t step = stepLength(song.tempo);
  char stepMs[32];
  std::snprintf(stepMs, sizeof stepMs, "%.1f ms", step * 1000.0 / kBankSampleRate);
  std::array<int, kChannels> notes{};
  std::map<std::uint8_t, int> instruments;
  std::ostringstream warnings;
  int warningCount = 0;
  for (int s = 0; s < kSteps; ++s) {
    for (int k = 0; k < kChannels; ++k) {
      const SongCell& cell = song.cells[s][k];
      std::uint8_t sample = remapInstrument(cell.instrument, cell.pitch);
      if (cell.pitch == 255 && sample == 223) continue;  // no note
      ++notes[k];
      ++instruments[cell.instrument];
      std::string where = "step " + std::to_string(s) + ", channel " + std::to_string(k) + ": ";
      if (sample >= kBankSamples) {
        warnings << "  " << where << "instrument " << instrumentName(cell.instrument)
                 << " has no sample in the bank; it cuts the step but stays silent\n";
        ++warningCount;
      } else if (cell.pitch >= 16) {
        warnings << "  " << where << "pitch row " << int(cell.pitch)
                 << " is past the note table (0 to 15); it cuts the step but stays silent\n";
        ++warningCount;
      } else if (cell.pitch < 1 || cell.pitch > 13) {
        warnings << "  " << where << "pitch row " << int(cell.pitch)
                 << " plays but is not shown on the piano roll (rows 1 to 13)\n";
        ++warningCount;
      }
    }
  }

  std::cout << "Title:        " << textOf(song.title) << "\n"
            << "Author:       " << textOf(song.author) << "\n"
            << "Bank:         " << textOf(song.bankName) << "\n"
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
  if (warningCount > 0) {
    std::cout << "Warnings:     " << warningCount << "\n" << warnings.str();
  }
  return std::cout ? 0 : fail("cannot write to standard output");
}

}  // namespace zorvik::tool
