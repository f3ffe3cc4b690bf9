// A strict reader of Standard MIDI Files, for tests: it reads back what a
// writer wrote and refuses anything a player could read otherwise.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace zorvik::fixtures {

struct MidiEventRead {
  std::uint64_t tick;  // from the start of the track
  std::uint8_t status;
  std::uint8_t metaType = 0;  // for status 0xFF
  std::vector<std::uint8_t> data;
};

struct MidiFileRead {
  int format = 0;
  int division = 0;
  std::vector<std::vector<MidiEventRead>> tracks;
};

// Throws std::runtime_error for a header or chunk of the wrong size, a
// delta time past four bytes, an event cut short or of a kind the writer
// never makes, a track that does not end with End of Track at its chunk's
// end, or bytes after the last track.
MidiFileRead readMidiFile(std::span<const std::uint8_t> bytes);

struct MidiNoteRead {
  std::uint64_t start, end;  // ticks
  int track, channel, key, velocity;
  int program;  // the channel's last program change at the note's start; -1 for none
  friend bool operator==(const MidiNoteRead&, const MidiNoteRead&) = default;
};

// The notes of a file, each Note On (of a velocity above 0) paired with the
// next Note Off of its track, channel and key, ordered by track, then
// start. Throws std::runtime_error for a note that never ends, a Note Off
// with no note, or a key struck again while it sounds.
std::vector<MidiNoteRead> midiNotes(const MidiFileRead& file);

// A track's name (its first Track Name event), or "" when it has none.
std::string midiTrackName(const std::vector<MidiEventRead>& track);

// The tempos of a track, as microseconds per quarter note, by tick.
std::vector<std::pair<std::uint64_t, std::uint32_t>> midiTempos(
    const std::vector<MidiEventRead>& track);

}  // namespace zorvik::fixtures
