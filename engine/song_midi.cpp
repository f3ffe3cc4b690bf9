#include "engine/song_midi.hpp"

#include <array>
#include <string>

#include "engine/note_events.hpp"
#include "engine/pitch.hpp"
#include "formats/error.hpp"
#include "formats/midi_file.hpp"

namespace zorvik {

static_assert(kMaxMidiSamples <= kMaxMidiDelta);

namespace {

// Samples as hours, minutes and whole seconds: "2:19:47".
std::string clockTime(std::uint64_t samples) {
  const std::uint64_t seconds = samples / kSampleRate;
  auto twoDigits = [](std::uint64_t n) { return (n < 10 ? "0" : "") + std::to_string(n); };
  return std::to_string(seconds / 3600) + ":" + twoDigits(seconds / 60 % 60) + ":" +
         twoDigits(seconds % 60);
}

}  // namespace

int midiKey(int pitch) { return 60 + noteTable[pitch] - noteTable[1]; }

std::vector<std::uint8_t> songMidiFile(const Song& song, const SampleBank& bank,
                                       std::uint64_t length) {
  if (length > kMaxMidiSamples) {
    throw Error("that is " + clockTime(length) + " long, and a MIDI file holds at most " +
                clockTime(kMaxMidiSamples) + ": render fewer loops");
  }
  std::array<MidiTrack, 1 + kChannels> tracks;
  MidiTrack& tempo = tracks[0];
  if (!textOf(song.title).empty()) tempo.text(0, MidiText::TrackName, textOf(song.title));
  if (!textOf(song.author).empty()) tempo.text(0, MidiText::Text, textOf(song.author));
  tempo.tempo(0, kMidiTempo);
  for (int k = 0; k < kChannels; ++k) {
    tracks[1 + k].text(0, MidiText::TrackName, "Channel " + std::to_string(k + 1));
  }

  std::array<int, kChannels> program = {-1, -1, -1};
  for (const NoteEvent& note : songNotes(song, bank, length)) {
    MidiTrack& track = tracks[1 + note.channel];
    if (program[note.channel] != note.sample) {
      track.programChange(note.start, note.channel, note.sample);
      program[note.channel] = note.sample;
    }
    track.noteOn(note.start, note.channel, midiKey(note.pitch), kMidiVelocity);
    track.noteOff(note.end, note.channel, midiKey(note.pitch), 64);
  }
  for (MidiTrack& track : tracks) track.end(length);
  return midiFileBytes(1, kMidiDivision, tracks);
}

}  // namespace zorvik
