#include "formats/song_check.hpp"

#include "formats/song_text.hpp"

namespace zorvik {

std::string instrumentName(std::uint8_t instrument) {
  if (instrument < kLetteredInstruments) return std::string(1, instrumentLetter(instrument));
  return "#" + std::to_string(instrument);
}

std::vector<CellWarning> checkSong(const Song& song) {
  std::vector<CellWarning> warnings;
  for (int s = 0; s < kSteps; ++s) {
    for (int k = 0; k < kChannels; ++k) {
      const SongCell& cell = song.cells[s][k];
      if (!startsNote(cell)) continue;
      const std::string note = cellText(cell);
      if (remapInstrument(cell.instrument, cell.pitch) >= kBankSamples) {
        warnings.push_back({s, k,
                            "instrument " + instrumentName(cell.instrument) + " of " + note +
                                " has no sample in the bank; it cuts the step but stays silent"});
      } else if (cell.pitch >= kPitchRows) {
        warnings.push_back({s, k,
                            note + " is past the note table (pitch rows 0 to 15); it cuts the "
                                   "step but stays silent"});
      } else if (!rollShowsRow(cell.pitch)) {
        warnings.push_back({s, k,
                            std::string(kNoteNames[cell.pitch]) +
                                " plays but the roll cannot show it (it shows B3 to G5, pitch "
                                "rows 1 to 13)"});
      }
    }
  }
  return warnings;
}

}  // namespace zorvik
