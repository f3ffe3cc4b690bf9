#include "formats/midi_file.hpp"

#include <gtest/gtest.h>

#include <string>

#include "formats/error.hpp"

namespace zorvik {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(MidiFile, DeltaTimesAreVariableLengthNumbers) {
  const std::pair<std::uint64_t, Bytes> cases[] = {
      {0, {0x00}},
      {0x7F, {0x7F}},
      {0x80, {0x81, 0x00}},
      {8001, {0xBE, 0x41}},
      {0x3FFF, {0xFF, 0x7F}},
      {0x4000, {0x81, 0x80, 0x00}},
      {0x1FFFFF, {0xFF, 0xFF, 0x7F}},
      {0x200000, {0x81, 0x80, 0x80, 0x00}},
      {kMaxMidiDelta, {0xFF, 0xFF, 0xFF, 0x7F}},
  };
  for (const auto& [delta, encoded] : cases) {
    MidiTrack track;
    track.noteOn(5, 0, 60, 100);
    track.end(5 + delta);
    Bytes expected = {0x05, 0x90, 60, 100};
    expected.insert(expected.end(), encoded.begin(), encoded.end());
    expected.insert(expected.end(), {0xFF, 0x2F, 0x00});
    EXPECT_EQ(track.events(), expected) << delta;
  }
}

TEST(MidiFile, EventsAsTheyAreStored) {
  MidiTrack track;
  track.text(0, MidiText::TrackName, "Bass");
  track.tempo(0, 250000);
  track.programChange(0, 2, 13);
  track.noteOn(0, 2, 59, 127);
  track.noteOff(3, 2, 59, 64);
  track.text(3, MidiText::Text, std::string(200, 'x'));
  const Bytes head = {0x00, 0xFF, 0x03, 4,    'B',  'a',  's',  's',  0x00, 0xFF, 0x51,
                      0x03, 0x03, 0xD0, 0x90, 0x00, 0xC2, 13,   0x00, 0x92, 59,   127,
                      0x03, 0x82, 59,   64,   0x00, 0xFF, 0x01, 0x81, 0x48};
  ASSERT_EQ(track.events().size(), head.size() + 200);
  EXPECT_EQ(Bytes(track.events().begin(), track.events().begin() + head.size()), head);
}

TEST(MidiFile, TheFileIsAHeaderAndOneChunkForEachTrack) {
  MidiTrack first, second;
  first.end(0);
  second.noteOn(1, 0, 60, 1);
  second.end(2);
  const MidiTrack tracks[] = {first, second};
  const Bytes expected = {'M', 'T',  'h',  'd', 0, 0, 0, 6, 0, 1,    0,    2, 0x1F, 0x41,  // 8001
                          'M', 'T',  'r',  'k', 0, 0, 0, 4, 0, 0xFF, 0x2F, 0,              //
                          'M', 'T',  'r',  'k', 0, 0, 0, 8, 1, 0x90, 60,   1,              //
                          1,   0xFF, 0x2F, 0};
  EXPECT_EQ(midiFileBytes(1, 8001, tracks), expected);
}

TEST(MidiFile, RefusesEventsOutOfOrderOrTooFarApart) {
  MidiTrack track;
  track.noteOn(100, 0, 60, 1);
  EXPECT_THROW(track.noteOff(99, 0, 60, 0), Error);
  EXPECT_THROW(track.end(100 + kMaxMidiDelta + 1), Error);
  track.end(100 + kMaxMidiDelta);
}

}  // namespace
}  // namespace zorvik
