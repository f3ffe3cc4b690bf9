#include "engine/song_midi.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "engine/note_events.hpp"
#include "engine/pitch.hpp"
#include "engine/sequencer.hpp"
#include "formats/error.hpp"
#include "testing/fixtures.hpp"
#include "testing/midi_reader.hpp"
#include "testing/stream_notes.hpp"

namespace zorvik {
namespace {

using fixtures::MidiFileRead;
using fixtures::MidiNoteRead;

TEST(SongMidi, EachRowIsTheKeyOfItsPitch) {
  const int keys[kPitchRows] = {59, 60, 61, 63, 65, 66, 68, 70, 72, 73, 75, 77, 78, 80, 82, 84};
  for (int row = 0; row < kPitchRows; ++row) {
    EXPECT_EQ(midiKey(row), keys[row]) << row;
    // The key's equal-tempered ratio to middle C is the row's playback rate.
    EXPECT_NEAR(std::exp2((midiKey(row) - 60) / 12.0), pitchIncrement(row), 1e-12) << row;
  }
}

// A song on every channel with marked samples, some long enough to be cut.
struct Fixture {
  Song song = fixtures::emptySong(240, "Title", "Author");
  fixtures::SampleSet marked;
  SampleBank bank;
  Fixture() {
    std::mt19937 rng(41);
    for (int step = 0; step < kSteps; ++step) {
      if (step % 3 != 0) continue;
      for (auto& cell : song.cells[step]) {
        if (rng() % 4 != 0)
          cell = {static_cast<std::uint8_t>(rng() % 18), static_cast<std::uint8_t>(rng() % 16)};
      }
    }
    std::array<std::size_t, kBankSamples> lengths;
    for (auto& length : lengths) length = rng() % 20000;
    lengths[3] = 0;
    marked = fixtures::markedSamples(lengths);
    bank = fixtures::makeBank(marked);
  }
};

TEST(SongMidi, ReadsBackAsTheStreamsNotesAtTheSongsTempo) {
  Fixture f;
  const std::uint64_t perStep = static_cast<std::uint64_t>(stepLength(f.song.tempo));
  const std::uint64_t length = 2 * kSteps * perStep + 12345;
  const MidiFileRead file = fixtures::readMidiFile(songMidiFile(f.song, f.bank, length));

  EXPECT_EQ(file.format, 1);
  ASSERT_EQ(file.tracks.size(), 4u);
  // A tick is one output sample: division ticks of tempo microseconds.
  EXPECT_EQ(file.division, 8001);
  const auto tempos = fixtures::midiTempos(file.tracks[0]);
  ASSERT_EQ(tempos.size(), 1u);
  EXPECT_EQ(tempos[0].first, 0u);
  EXPECT_EQ(std::uint64_t{tempos[0].second} * kSampleRate,
            static_cast<std::uint64_t>(file.division) * 1'000'000);
  EXPECT_EQ(fixtures::midiTrackName(file.tracks[0]), "Title");
  for (int k = 0; k < kChannels; ++k) {
    EXPECT_EQ(fixtures::midiTrackName(file.tracks[1 + k]), "Channel " + std::to_string(k + 1));
    EXPECT_TRUE(fixtures::midiTempos(file.tracks[1 + k]).empty());
  }
  for (const auto& track : file.tracks) EXPECT_EQ(track.back().tick, length);

  std::vector<fixtures::StreamNote> heard;
  for (const MidiNoteRead& note : fixtures::midiNotes(file)) {
    ASSERT_EQ(note.channel, note.track - 1);
    EXPECT_EQ(note.velocity, 127);
    const SongCell& cell = f.song.cells[note.start / perStep % kSteps][note.channel];
    EXPECT_EQ(note.key, midiKey(cell.pitch)) << note.start;
    heard.push_back({note.start, note.end, note.channel, note.program});
  }
  EXPECT_EQ(heard, fixtures::streamNotes(f.song, f.marked, length));
  EXPECT_GT(heard.size(), 50u);
}

TEST(SongMidi, AProgramChangeOnlyWhereTheSampleChanges) {
  Fixture f;
  const MidiFileRead file = fixtures::readMidiFile(
      songMidiFile(f.song, f.bank, kSteps * static_cast<std::uint64_t>(stepLength(240))));
  const std::vector<MidiNoteRead> notes = fixtures::midiNotes(file);
  for (int track = 1; track <= kChannels; ++track) {
    int changes = 0;
    for (const auto& e : file.tracks[track]) changes += (e.status & 0xF0) == 0xC0;
    int expected = 0, last = -1;
    for (const MidiNoteRead& note : notes) {
      if (note.track != track) continue;
      expected += note.program != last;
      last = note.program;
    }
    EXPECT_EQ(changes, expected) << track;
    EXPECT_GT(expected, 5) << track;
  }
}

TEST(SongMidi, EmptyTextsAreLeftOutAndTheLongestFileIsWhole) {
  const Song song = fixtures::emptySong(0);
  const SampleBank bank = fixtures::makeBank(fixtures::countingSamples(10));
  const MidiFileRead file = fixtures::readMidiFile(songMidiFile(song, bank, kMaxMidiSamples));
  ASSERT_EQ(file.tracks.size(), 4u);
  EXPECT_EQ(fixtures::midiTrackName(file.tracks[0]), "");
  for (const auto& e : file.tracks[0]) EXPECT_FALSE(e.status == 0xFF && e.metaType == 0x01);
  for (const auto& track : file.tracks) EXPECT_EQ(track.back().tick, kMaxMidiSamples);
  EXPECT_TRUE(fixtures::midiNotes(file).empty());
  EXPECT_THROW(songMidiFile(song, bank, kMaxMidiSamples + 1), Error);
}

}  // namespace
}  // namespace zorvik
