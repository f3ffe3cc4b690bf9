#include "formats/song_text.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "formats/utf8.hpp"
#include "testing/fixtures.hpp"

namespace zorvik {
namespace {

bool sameBytes(const Song& a, const Song& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// A text field of random bytes: a text, often with more bytes (any, zeros
// among them) after the zero that ends it, or none at all.
TextField randomField(std::mt19937& rng) {
  TextField field{};
  std::size_t length = rng() % 33;
  for (std::size_t i = 0; i < length; ++i) field[i] = static_cast<char>(1 + rng() % 255);
  if (length < 31 && rng() % 2) {
    for (std::size_t i = length + 1; i < 32; ++i)
      field[i] = static_cast<char>(rng() % 4 ? 0 : rng());
  }
  return field;
}

TEST(SongText, RoundTripKeepsEveryByteInBothLayouts) {
  std::mt19937 rng(96);
  for (int round = 0; round < 300; ++round) {
    Song song = fixtures::randomSong(rng);
    song.title = randomField(rng);
    song.author = randomField(rng);
    song.bankName = randomField(rng);
    if (round == 0) {  // every byte pair at least once, in some cell
      for (int i = 0; i < kSteps * kChannels; ++i)
        song.cells[i / 3][i % 3] = {static_cast<std::uint8_t>(i),
                                    static_cast<std::uint8_t>(255 - i)};
    }
    for (bool sparse : {false, true}) {
      std::string text = decompileSong(song, {sparse});
      ASSERT_TRUE(sameBytes(compileSongText(text), song)) << text;
    }
  }
}

TEST(SongText, AllCellValuesSurvive) {
  Song song = fixtures::emptySong();
  for (int pitch = 0; pitch < 256; ++pitch) {
    for (int instrument = 0; instrument < 256; instrument += 96) {
      song.cells[pitch % 96][instrument / 96] = {
          static_cast<std::uint8_t>(pitch), static_cast<std::uint8_t>(instrument + pitch % 96)};
    }
    ASSERT_TRUE(sameBytes(compileSongText(decompileSong(song)), song)) << pitch;
  }
}

TEST(SongText, Version1SongsRoundTripAsTheirUpgrade) {
  std::mt19937 rng(1);
  Song random = fixtures::randomSong(rng);
  SongV1 v1{};
  v1.title = makeTextField("Old");
  v1.author = makeTextField("Timer");
  v1.cells = random.cells;
  v1.tempo = 9;
  Song loaded = readSong(MemorySource(fixtures::songFileV1(v1)));
  EXPECT_TRUE(sameBytes(compileSongText(decompileSong(loaded)), upgradeSong(v1)));
}

TEST(SongText, ReadableForm) {
  Song song = fixtures::emptySong(100, "Say \"hi\"", "A\\B", "drums.zvi");
  song.cells[0] = {SongCell{12, 0}, kNoNote, SongCell{3, 30}};
  std::string text = decompileSong(song);
  EXPECT_NE(text.find("title  \"Say \\\"hi\\\"\"\n"), std::string::npos) << text;
  EXPECT_NE(text.find("author \"A\\\\B\"\n"), std::string::npos);
  EXPECT_NE(text.find("tempo  100\n"), std::string::npos);
  // Channels as users count them, 1 to 3, over the columns of cells.
  EXPECT_NE(text.find("\n#        ch 1    ch 2    ch 3\n"), std::string::npos) << text;
  EXPECT_NE(text.find("# bar 1\n         F5a     ---     D4:30   # step 0\n"), std::string::npos)
      << text;
  EXPECT_NE(text.find("# bar 24\n"), std::string::npos);
}

std::string header() { return "title \"T\"\nauthor \"A\"\nbank \"b.zvi\"\ntempo 5\n"; }

std::string steps(int n, const std::string& line = "--- --- ---") {
  std::string out;
  for (int i = 0; i < n; ++i) out += line + "\n";
  return out;
}

TEST(SongText, ErrorsNameLineColumnAndWhatWasExpected) {
  struct Case {
    std::string text;
    int line, column;
    std::string expected;
  } cases[] = {
      {"tempo 256\n", 1, 7, "expected a tempo from 0 to 255"},
      {"title Untitled\n", 1, 7, "expected a text in double quotes"},
      {"title \"open\n", 1, 12, "expected a closing '\"'"},
      {"title \"" + std::string(33, 'x') + "\"\n", 1, 40, "expected at most 32 bytes of text"},
      {"title \"\\q\"\n", 1, 9, "expected \\\", \\\\ or \\xHH"},
      {"title \"a\" extra\n", 1, 11, "expected the end of the line or a '#' comment"},
      {"title \"T\"\ntitle \"U\"\n", 2, 1, "expected 'title' only once"},
      {"title \"T\"\n--- --- ---\n", 2, 1, "expected 'author' before the first step"},
      {header() + "12a --- \n", 5, 9,
       "expected a cell: ---, a pitch and a letter such as C4a or 12a, or PITCH:INSTRUMENT"},
      {header() + "12A --- ---\n", 5, 3,
       "expected an instrument letter a to z, or ':' and an instrument number"},
      {header() + "300a --- ---\n", 5, 1,
       "expected a pitch: a row number from 0 to 255 or a note name such as C4, or --- for no "
       "note"},
      {header() + "256a --- ---\n", 5, 1,
       "expected a pitch: a row number from 0 to 255 or a note name such as C4, or --- for no "
       "note"},
      {header() + "C#4a --- ---\n", 5, 1,
       "C#4 is not a note of the table: it has no sharps or flats but A#3 (or Bb3); its notes "
       "are A#3 B3 C4 D4 E4 F4 G4 A4 B4 C5 D5 E5 F5 G5 A5 B5, or give a row number from 0 to "
       "255"},
      {header() + "--- Eb4a ---\n", 5, 5,
       "Eb4 is not a note of the table: it has no sharps or flats but A#3 (or Bb3); its notes "
       "are A#3 B3 C4 D4 E4 F4 G4 A4 B4 C5 D5 E5 F5 G5 A5 B5, or give a row number from 0 to "
       "255"},
      {header() + "C6a --- ---\n", 5, 1,
       "C6 is not a note of the table: its notes are A#3 B3 C4 D4 E4 F4 G4 A4 B4 C5 D5 E5 F5 G5 "
       "A5 B5, or give a row number from 0 to 255"},
      {header() + "c4a --- ---\n", 5, 1,
       "expected a pitch: a row number from 0 to 255 or a note name such as C4, or --- for no "
       "note"},
      {header() + "10: --- --- ---\n5: --- --- ---\n", 6, 1,
       "expected a step number from 11 to 95: numbered steps ascend"},
      {header() + "96: --- --- ---\n", 5, 1, "expected a step number from 0 to 95"},
      {header() + "95: --- --- ---\n--- --- ---\n", 6, 1,
       "expected no more than 96 steps: the last one was step 95"},
      {header() + "1000: --- --- ---\n", 5, 1, "expected a step number from 0 to 95"},
      {header() + "00096: --- --- ---\n", 5, 1, "expected a step number from 0 to 95"},
      {header() + "  -1: --- --- ---\n", 5, 3, "expected a step number from 0 to 95"},
      {header() + "-0:--- --- ---\n", 5, 1, "expected a step number from 0 to 95"},
      {header() + "1:256 --- ---\n", 5, 3, "expected an instrument number from 0 to 255 after ':'"},
      {header() + "1ab --- ---\n", 5, 3, "expected a space after the cell"},
      {header() + "--- --- --- ---\n", 5, 13, "expected the end of the line or a '#' comment"},
      {header() + steps(97), 101, 1, "expected no more than 96 steps: the last one was step 95"},
      // Columns count characters, not the bytes that encode them.
      {"title \"\xc3\xa9t\xc3\xa9\" x\n", 1, 13, "expected the end of the line or a '#' comment"},
      {"title \"\xe2\x99\xaa " + std::string(31, 'x') + "\"\n", 1, 38,
       "expected at most 32 bytes of text"},
      // A header line missing: at the end of the text's last line.
      {"title \"T\"\nauthor \"A\"\ntempo 1\n", 3, 8, "expected 'bank' in the header"},
      {"title \"T\"\nauthor \"A\"\ntempo 1", 3, 8, "expected 'bank' in the header"},
      {"title \"\xc3\xa9\"\r\n", 1, 10, "expected 'author' in the header"},
      {"# nothing\n\n", 2, 1, "expected 'title' in the header"},
      {"", 1, 1, "expected 'title' in the header"},
      {header() + steps(1) + "tempo 7\n", 6, 1,
       "expected a step line: the header comes before the steps"},
  };
  for (const auto& c : cases) {
    try {
      compileSongText(c.text);
      ADD_FAILURE() << "compiled: " << c.text;
    } catch (const SongTextError& e) {
      EXPECT_EQ(e.line(), c.line) << c.expected;
      EXPECT_EQ(e.column(), c.column) << c.expected;
      EXPECT_EQ(std::string(e.what()), "line " + std::to_string(c.line) + ", column " +
                                           std::to_string(c.column) + ": " + c.expected);
    }
  }
}

TEST(SongText, NoteNamesForTheSixteenRows) {
  const char* names[] = {"A#3", "B3", "C4", "D4", "E4", "F4", "G4", "A4",
                         "B4",  "C5", "D5", "E5", "F5", "G5", "A5", "B5"};
  for (int row = 0; row < kPitchRows; ++row) {
    Song song = fixtures::emptySong();
    song.cells[0][0] = {static_cast<std::uint8_t>(row), 2};
    song.cells[0][1] = {static_cast<std::uint8_t>(row), 40};
    std::string text = decompileSong(song);
    EXPECT_NE(text.find(std::string(" ") + names[row] + "c "), std::string::npos) << text;
    EXPECT_NE(text.find(std::string(" ") + names[row] + ":40 "), std::string::npos) << text;
    EXPECT_EQ(noteRow(names[row]), row);
    Song back = compileSongText(header() + names[row] + "c " + std::to_string(row) + "c ---\n");
    EXPECT_EQ(back.cells[0][0], (SongCell{static_cast<std::uint8_t>(row), 2})) << names[row];
    EXPECT_EQ(back.cells[0][1], back.cells[0][0]) << names[row];
  }
  EXPECT_EQ(noteRow("Bb3"), 0);
  for (const char* name : {"C#4", "Cb4", "C3", "C6", "H4", "c4", "C", "C44", ""}) {
    EXPECT_FALSE(noteRow(name)) << name;
  }
  // Rows 16 and up are numbers, both ways.
  Song song = fixtures::emptySong();
  song.cells[0][0] = {16, 0};
  EXPECT_NE(decompileSong(song).find(" 16a "), std::string::npos);
}

TEST(SongText, TheNamesFollowTheNoteTable) {
  // Row 2 is C4, and every row is as many semitones above C4 as the note
  // table has it above row 2.
  const int semitoneOfName[] = {-2, -1, 0, 2, 4, 5, 7, 9, 11, 12, 14, 16, 17, 19, 21, 23};
  const int table[kPitchRows] = {0, 1, 2, 4, 6, 7, 9, 11, 13, 14, 16, 18, 19, 21, 23, 25};
  for (int row = 0; row < kPitchRows; ++row) {
    EXPECT_EQ(semitoneOfName[row], table[row] - table[2]) << kNoteNames[row];
  }
}

TEST(SongText, SparseStepsAreNumberedAndTheRestEmpty) {
  Song song = compileSongText(header() +
                              "0:C4g ---\t---\n"  // no space after the colon
                              "0024: C4a --- G4h\n"
                              "    ---  1b ---   # step 25\n"
                              "90:  3:30 --- ---\n"
                              "95:--- --- B5o\n");
  for (int step = 0; step < kSteps; ++step) {
    StepCells expected = {kNoNote, kNoNote, kNoNote};
    if (step == 0) expected = {SongCell{2, 6}, kNoNote, kNoNote};
    if (step == 24) expected = {SongCell{2, 0}, kNoNote, SongCell{6, 7}};
    if (step == 25) expected = {kNoNote, SongCell{1, 1}, kNoNote};
    if (step == 90) expected = {SongCell{3, 30}, kNoNote, kNoNote};
    if (step == 95) expected = {kNoNote, kNoNote, SongCell{15, 14}};
    EXPECT_EQ(song.cells[step], expected) << step;
  }
  std::string sparse = decompileSong(song, {true});
  EXPECT_NE(sparse.find("\n24:      C4a     ---     G4h\n25:"), std::string::npos) << sparse;
  EXPECT_EQ(sparse.find("# step"), std::string::npos);
  EXPECT_EQ(sparse.find("\n26:"), std::string::npos);
}

TEST(SongText, WarningsNameWhereTheCellIs) {
  std::vector<SongTextWarning> warnings;
  compileSongText(header() +
                      "C4a 14b  3:15\n"
                      "\n"
                      "40:  A#3c  --- 20:1  # here\n",
                  &warnings);
  ASSERT_EQ(warnings.size(), 4u);
  struct Expected {
    int line, column;
    const char* message;
  } expected[] = {
      {5, 5, "A5 plays but the roll cannot show it (it shows B3 to G5, pitch rows 1 to 13)"},
      {5, 10, "instrument p of D4p has no sample in the bank; it cuts the step but stays silent"},
      {7, 6, "A#3 plays but the roll cannot show it (it shows B3 to G5, pitch rows 1 to 13)"},
      {7, 16,
       "20b is past the note table (pitch rows 0 to 15); it cuts the step but stays "
       "silent"},
  };
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(warnings[i].line, expected[i].line) << i;
    EXPECT_EQ(warnings[i].column, expected[i].column) << i;
    EXPECT_EQ(warnings[i].message, expected[i].message) << i;
  }
}

TEST(SongText, AByteOrderMarkIsSkipped) {
  Song song = compileSongText("\xef\xbb\xbf" + header() + "C4a --- ---\n");
  EXPECT_EQ(textOf(song.title), "T");
  EXPECT_EQ(song.cells[0][0], (SongCell{2, 0}));
  try {
    compileSongText("\xef\xbb\xbftempo x\n");
    ADD_FAILURE();
  } catch (const SongTextError& e) {
    EXPECT_EQ(e.column(), 7);  // columns count from after the mark
  }
}

TEST(SongText, BytesAfterATextsEndSurvive) {
  Song song = fixtures::emptySong(3, "Name");
  song.title[6] = 'x';  // "Name", zero, zero, "x", zeros
  std::string text = decompileSong(song);
  EXPECT_NE(text.find("title  \"Name\\x00\\x00x\"\n"), std::string::npos) << text;
  EXPECT_TRUE(sameBytes(compileSongText(text), song));
  song.title.fill('T');  // no zero byte at all
  EXPECT_TRUE(sameBytes(compileSongText(decompileSong(song)), song));
}

// Decompiled to a terminal, a text field must not drive it: C1 controls
// are escaped as C0 ones are, encoded or raw, and so is every byte of no
// well-formed character, while UTF-8 stays readable; the bytes survive.
TEST(SongText, ControlsAndStrayBytesAreEscaped) {
  struct Case {
    std::string field;
    std::string written;
  } cases[] = {
      {"a\xc2\x85"
       "b",
       "a\\xc2\\x85b"},  // NEL
      {"\xc2\x9b"
       "31m",
       "\\xc2\\x9b31m"},  // CSI
      {"\xc2\x9d"
       "0;x",
       "\\xc2\\x9d0;x"},  // OSC
      {"\x9b"
       "2J\x85",
       "\\x9b2J\\x85"},                           // raw C1 bytes
      {"\x1b[2J\x07\x7f", "\\x1b[2J\\x07\\x7f"},  // C0 and DEL, as before
      {"caf\xc3\xa9 \xe2\x99\xaa \xc2\xa0", "caf\xc3\xa9 \xe2\x99\xaa \xc2\xa0"},  // UTF-8
      {"caf\xe9 \xe2\x99", "caf\\xe9 \\xe2\\x99"},  // Latin-1, a character cut short
  };
  for (const auto& c : cases) {
    Song song = fixtures::emptySong(3);
    song.title = makeTextField(c.field);
    std::string text = decompileSong(song);
    EXPECT_NE(text.find("title  \"" + c.written + "\"\n"), std::string::npos) << text;
    // Well-formed UTF-8 throughout, with no control but the newlines.
    for (std::string_view rest = text; !rest.empty();) {
      std::size_t n = utf8SequenceLength(rest);
      ASSERT_NE(n, 0u) << c.written << ": " << rest;
      auto byte = static_cast<unsigned char>(rest[0]);
      EXPECT_FALSE((byte < 0x20 && byte != '\n') || byte == 0x7f ||
                   (byte == 0xc2 && static_cast<unsigned char>(rest[1]) < 0xa0))
          << c.written << ": " << rest;
      rest.remove_prefix(n);
    }
    EXPECT_TRUE(sameBytes(compileSongText(text), song)) << c.written;
  }
}

TEST(SongText, CommentsBlankLinesAndCrlfAreAccepted) {
  std::string text =
      "# a song\r\n\r\n" + header() + "\n# bar 1\n" + steps(96, "  1a\t2:200  ---  # note\r");
  Song song = compileSongText(text);
  EXPECT_EQ(textOf(song.bankName), "b.zvi");
  EXPECT_EQ(song.tempo, 5);
  EXPECT_EQ(song.cells[95][1], (SongCell{2, 200}));
}

}  // namespace
}  // namespace zorvik
