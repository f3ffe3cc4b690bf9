// The rules of one song cell, each written once: what empties a cell, which
// bank sample an instrument plays, which cells start a note, which of those
// can sound, where the piano roll shows a note and by which letter.
#pragma once

#include <cstdint>
#include <string>

namespace zorvik {

inline constexpr int kSteps = 96;
inline constexpr int kChannels = 3;
inline constexpr int kBankSamples = 16;
inline constexpr int kPitchRows = 16;  // rows of the note table: 0 to 15

struct SongCell {
  std::uint8_t pitch;
  std::uint8_t instrument;
  friend bool operator==(const SongCell&, const SongCell&) = default;
};

// The stored marker of a channel that starts no note.
inline constexpr SongCell kNoNote{255, 223};

// The bank sample an instrument byte plays at a pitch byte. Instrument 12 is
// split: sample 12 below pitch row 7, sample 13 from it; 13 and up move one
// on (255 wraps to 0). 223 stays 223.
inline std::uint8_t remapInstrument(std::uint8_t instrument, std::uint8_t pitch) {
  if (instrument == 223) return instrument;
  if (instrument > 12) return static_cast<std::uint8_t>(instrument + 1);
  if (instrument == 12 && pitch >= 7) return 13;
  return instrument;
}

// Whether the sequencer takes the cell as a note: every cell but the empty
// marker and (255, 222), which remaps to it. A note cuts every voice.
inline bool startsNote(const SongCell& cell) {
  return !(cell.pitch == 255 && remapInstrument(cell.instrument, cell.pitch) == 223);
}

// Whether a note sounds: its sample is one of the bank's 16 and its pitch a
// row of the note table. Other notes cut the step and stay silent.
inline bool isPlayable(const SongCell& cell) {
  return remapInstrument(cell.instrument, cell.pitch) < kBankSamples && cell.pitch < kPitchRows;
}

// The roll has a line for pitch rows 1 to 13 only: row r on line 13 - r.
inline constexpr int kRollLowestRow = 1;
inline constexpr int kRollHighestRow = 13;
inline bool rollShowsRow(std::uint8_t pitch) {
  return pitch >= kRollLowestRow && pitch <= kRollHighestRow;
}
inline int rollLine(std::uint8_t pitch) { return kRollHighestRow - pitch; }

// The byte that marks an instrument's notes on the roll: 'a' for 0 ... 'z'
// for 25, then on through the byte values (taken modulo 256).
inline char instrumentLetter(std::uint8_t instrument) {
  return static_cast<char>((instrument + 97) % 256);
}

// Instruments that play a bank sample: 0 to 14, instrument 12 taking two.
inline constexpr int kBankInstruments = kBankSamples - 1;

// Instruments that have a lower-case letter: 0 ('a') to 25 ('z').
inline constexpr int kLetteredInstruments = 26;

// The instrument that plays bank sample k: "a" to "l", "m low" (pitch rows
// 0-6), "m high" (rows 7-15), "n", "o".
inline std::string sampleInstrument(int k) {
  if (k < 12) return std::string(1, instrumentLetter(static_cast<std::uint8_t>(k)));
  if (k == 12) return "m low";
  if (k == 13) return "m high";
  return std::string(1, instrumentLetter(static_cast<std::uint8_t>(k - 1)));
}

}  // namespace zorvik
