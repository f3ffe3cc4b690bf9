// The editing half of the C API, through the shared library: edits land
// where the loaders read them, refused edits change nothing, and the
// names are the song text's.

#include <gtest/gtest.h>
#include <zorvik/zorvik.h>

#include <array>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "formats/song.hpp"
#include "formats/song_text.hpp"
#include "testing/fixtures.hpp"

namespace zorvik {
namespace {

using SongBytes = std::array<std::uint8_t, ZORVIK_SONG_FILE_SIZE>;

SongBytes bytesOf(const Song& song) {
  SongBytes bytes;
  auto file = fixtures::songFile(song);
  std::memcpy(bytes.data(), file.data(), bytes.size());
  return bytes;
}

Song read(const SongBytes& bytes) { return readSong(MemorySource({bytes.data(), bytes.size()})); }

std::string named(size_t (*name)(int, char*, size_t), int value) {
  char out[16];
  size_t n = name(value, out, sizeof out);
  EXPECT_EQ(n, std::strlen(out));
  return out;
}

TEST(SongEdit, TheEmptySongIsTheTextWithOnlyAHeader) {
  SongBytes empty;
  zorvik_song_empty(empty.data());
  Song expected = compileSongText("title \"\"\nauthor \"\"\nbank \"default.zvi\"\ntempo 100\n");
  EXPECT_EQ(empty, bytesOf(expected));
  zorvik_song_empty(nullptr);
}

TEST(SongEdit, EditsLandWhereTheLoaderReadsThem) {
  std::mt19937 rng(3);
  Song song = fixtures::randomSong(rng);
  SongBytes bytes = bytesOf(song);
  Song expected = song;

  ASSERT_EQ(zorvik_song_set_cell(bytes.data(), bytes.size(), 95, 2, 14, 12), 0);
  expected.cells[95][2] = {14, 12};
  ASSERT_EQ(zorvik_song_set_cell(bytes.data(), bytes.size(), 0, 0, 255, 255), 0);
  expected.cells[0][0] = {255, 255};
  ASSERT_EQ(zorvik_song_clear_cell(bytes.data(), bytes.size(), 40, 1), 0);
  expected.cells[40][1] = kNoNote;
  ASSERT_EQ(zorvik_song_set_tempo(bytes.data(), bytes.size(), 255), 0);
  expected.tempo = 255;
  const std::string full(32, 'x');  // a slot may be all text
  ASSERT_EQ(zorvik_song_set_text(bytes.data(), bytes.size(), ZORVIK_TITLE, full.data(), 32), 0);
  expected.title.fill('x');
  ASSERT_EQ(zorvik_song_set_text(bytes.data(), bytes.size(), ZORVIK_AUTHOR, "\xc3\xa9t\xc3\xa9", 5),
            0);
  expected.author = makeTextField("\xc3\xa9t\xc3\xa9");
  ASSERT_EQ(zorvik_song_set_text(bytes.data(), bytes.size(), ZORVIK_BANK, "my.zvi", 6), 0);
  expected.bankName = makeTextField("my.zvi");

  EXPECT_EQ(bytes, bytesOf(expected));
  EXPECT_EQ(zorvik_song_cell(bytes.data(), bytes.size(), 95, 2), 14 * 256 + 12);
  EXPECT_EQ(zorvik_song_cell(bytes.data(), bytes.size(), 40, 1), ZORVIK_NO_NOTE);
  EXPECT_EQ(zorvik_song_tempo(bytes.data(), bytes.size()), 255);
  // A shorter text leaves no byte of the longer one behind.
  ASSERT_EQ(zorvik_song_set_text(bytes.data(), bytes.size(), ZORVIK_TITLE, "ab", 2), 0);
  EXPECT_EQ(read(bytes).title, makeTextField("ab"));
}

TEST(SongEdit, RefusedEditsChangeNothing) {
  SongBytes bytes;
  zorvik_song_empty(bytes.data());
  const SongBytes before = bytes;
  SongBytes version1 = bytes;
  version1[4] = 1;
  SongBytes compressed = bytes;
  compressed[6] = 1;
  EXPECT_EQ(zorvik_song_set_cell(bytes.data(), bytes.size(), 96, 0, 1, 1), -1);
  EXPECT_EQ(zorvik_song_set_cell(bytes.data(), bytes.size(), -1, 0, 1, 1), -1);
  EXPECT_EQ(zorvik_song_set_cell(bytes.data(), bytes.size(), 0, 3, 1, 1), -1);
  EXPECT_EQ(zorvik_song_set_cell(bytes.data(), bytes.size(), 0, 0, 256, 1), -1);
  EXPECT_EQ(zorvik_song_set_cell(bytes.data(), bytes.size(), 0, 0, 1, -1), -1);
  EXPECT_EQ(zorvik_song_set_tempo(bytes.data(), bytes.size(), 256), -1);
  const std::string tooLong(33, 'x');
  EXPECT_EQ(zorvik_song_set_text(bytes.data(), bytes.size(), ZORVIK_TITLE, tooLong.data(), 33), -1);
  EXPECT_EQ(zorvik_song_set_text(bytes.data(), bytes.size(), ZORVIK_TITLE, "a\0b", 3), -1);
  EXPECT_EQ(zorvik_song_set_text(bytes.data(), bytes.size(), 3, "a", 1), -1);
  EXPECT_EQ(zorvik_song_set_text(bytes.data(), bytes.size(), ZORVIK_TITLE, nullptr, 1), -1);
  EXPECT_EQ(bytes, before);
  // Only a whole version-2 file is edited or read.
  for (SongBytes* other : {&version1, &compressed}) {
    SongBytes copy = *other;
    EXPECT_EQ(zorvik_song_set_tempo(copy.data(), copy.size(), 1), -1);
    EXPECT_EQ(zorvik_song_cell(copy.data(), copy.size(), 0, 0), -1);
    EXPECT_EQ(copy, *other);
  }
  EXPECT_EQ(zorvik_song_tempo(bytes.data(), bytes.size() - 1), -1);
  EXPECT_EQ(zorvik_song_tempo(nullptr, bytes.size()), -1);
  EXPECT_EQ(zorvik_song_clear_cell(nullptr, 0, 0, 0), -1);
}

TEST(SongEdit, CellRulesAndNames) {
  struct Case {
    int pitch, instrument;
    int startsNote, sounds;
    const char* text;
  } cases[] = {
      {255, 223, 0, 0, "---"}, {255, 222, 0, 0, "255:222"}, {2, 0, 1, 1, "C4a"},
      {0, 14, 1, 1, "A#3o"},   {15, 12, 1, 1, "B5m"},       {16, 0, 1, 0, "16a"},
      {3, 15, 1, 0, "D4p"},    {3, 30, 1, 0, "D4:30"},      {255, 255, 1, 0, "255:255"},
      {-1, 0, 0, 0, ""},       {0, 256, 0, 0, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(zorvik_cell_starts_note(c.pitch, c.instrument), c.startsNote);
    EXPECT_EQ(zorvik_cell_sounds(c.pitch, c.instrument), c.sounds);
    char text[16];
    EXPECT_EQ(zorvik_cell_text(c.pitch, c.instrument, text, sizeof text), std::strlen(c.text));
    EXPECT_STREQ(text, c.text);
  }
  for (int row = -1; row <= 16; ++row) {
    EXPECT_EQ(zorvik_roll_shows_row(row), row >= 1 && row <= 13) << row;
  }
  EXPECT_EQ(named(zorvik_pitch_name, 0), "A#3");
  EXPECT_EQ(named(zorvik_pitch_name, 15), "B5");
  EXPECT_EQ(named(zorvik_pitch_name, 16), "16");
  EXPECT_EQ(named(zorvik_instrument_name, 0), "a");
  EXPECT_EQ(named(zorvik_instrument_name, 26), "#26");
  EXPECT_EQ(named(zorvik_default_bank_sound, 0), "kick");
  EXPECT_EQ(named(zorvik_default_bank_sound, 12), "electric piano");
  EXPECT_EQ(named(zorvik_default_bank_sound, 14), "brass");
  EXPECT_EQ(named(zorvik_default_bank_sound, 15), "");
  // A short buffer gets the start, zero-ended, and the length it needs.
  char shortBuffer[3];
  EXPECT_EQ(zorvik_default_bank_sound(2, shortBuffer, sizeof shortBuffer), 13u);
  EXPECT_STREQ(shortBuffer, "cl");
  EXPECT_EQ(zorvik_song_max_size(), kMaxSongTextBytes);
}

}  // namespace
}  // namespace zorvik
