#include "formats/song_text.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "testing/fixtures.hpp"

namespace zorvik {
namespace {

bool sameBytes(const Song& a, const Song& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Fills a text field with random bytes up to a random length and zeros after.
TextField randomField(std::mt19937& rng) {
  TextField field{};
  std::size_t length = rng() % 33;
  for (std::size_t i = 0; i < length; ++i) field[i] = static_cast<char>(1 + rng() % 255);
  return field;
}

TEST(SongText, RoundTripKeepsEveryByte) {
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
    Song back = compileSongText(decompileSong(song));
    ASSERT_TRUE(sameBytes(back, song)) << decompileSong(song);
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
  EXPECT_NE(text.find("# bar 1\n         12a     ---     3:30    # step 0\n"), std::string::npos)
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
      {"title \"a\\x00b\"\n", 1, 10, "expected \\x01 to \\xff: a zero byte would end the text"},
      {"title \"a\" extra\n", 1, 11, "expected the end of the line or a '#' comment"},
      {"title \"T\"\ntitle \"U\"\n", 2, 1, "expected 'title' only once"},
      {"title \"T\"\n--- --- ---\n", 2, 1, "expected 'author' before the first step"},
      {header() + "12a --- \n", 5, 9,
       "expected a cell: ---, a pitch row and a letter such as 12a, or PITCH:INSTRUMENT"},
      {header() + "12A --- ---\n", 5, 3,
       "expected an instrument letter a to z, or ':' and an instrument number"},
      {header() + "300a --- ---\n", 5, 1, "expected a pitch row from 0 to 255, or --- for no note"},
      {header() + "1:256 --- ---\n", 5, 3, "expected an instrument number from 0 to 255 after ':'"},
      {header() + "1ab --- ---\n", 5, 3, "expected a space after the cell"},
      {header() + "--- --- --- ---\n", 5, 13, "expected the end of the line or a '#' comment"},
      {header() + steps(95), 100, 1, "expected 96 step lines, found 95"},
      {header() + steps(97), 101, 1, "expected no more than 96 step lines"},
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
