#include "display/roll.hpp"

#include <gtest/gtest.h>

#include "testing/fixtures.hpp"

namespace zorvik {
namespace {

RollPages emptyPages() { return buildRollPages(fixtures::emptySong()); }

TEST(RollPages, EmptySongGivesTheTemplates) {
  RollPages pages = emptyPages();
  const std::string blank(53, ' ');
  const RollPage page0 = {blank,
                          "/-+---+---+---+---+---+---+---+---+---+---+---+---+->",
                          "| |   |   |   |   |   |   |   |   |   |   |   |   | >",
                          "|-+---+---+---+---+---+---+---+---+---+---+---+---+->",
                          "| |   |   |   |   |   |   |   |   |   |   |   |   | >",
                          "|-+---+---+---+---+---+---+---+---+---+---+---+---+->",
                          "| |   |   |   |   |   |   |   |   |   |   |   |   | >",
                          "|-+---+---+---+---+---+---+---+---+---+---+---+---+->",
                          "| |   |   |   |   |   |   |   |   |   |   |   |   | >",
                          "\\-+---+---+---+---+---+---+---+---+---+---+---+---+->",
                          blank,
                          blank,
                          blank};
  const RollPage page1 = {blank,
                          "<-+---+---+---+---+---+---+---+---+---+---+---+---+-\\",
                          "< |   |   |   |   |   |   |   |   |   |   |   |   | |",
                          "<-+---+---+---+---+---+---+---+---+---+---+---+---+-|",
                          "< |   |   |   |   |   |   |   |   |   |   |   |   | |",
                          "<-+---+---+---+---+---+---+---+---+---+---+---+---+-|",
                          "< |   |   |   |   |   |   |   |   |   |   |   |   | |",
                          "<-+---+---+---+---+---+---+---+---+---+---+---+---+-|",
                          "< |   |   |   |   |   |   |   |   |   |   |   |   | |",
                          "<-+---+---+---+---+---+---+---+---+---+---+---+---+-/",
                          blank,
                          blank,
                          blank};
  EXPECT_EQ(pages[0], page0);
  EXPECT_EQ(pages[1], page1);
}

TEST(RollPages, NotesLandOnTheirLineAndColumn) {
  struct Case {
    int step, channel, pitch, instrument;
    int page, line, column;
    char mark;
  } cases[] = {
      {0, 0, 12, 0, 0, 1, 2, 'a'},      {47, 1, 7, 1, 0, 6, 49, 'b'},
      {48, 2, 7, 25, 1, 6, 2, 'z'},     {95, 0, 4, 26, 1, 9, 49, '{'},
      {10, 0, 13, 2, 0, 0, 12, 'c'},    {11, 0, 1, 3, 0, 12, 13, 'd'},
      {12, 0, 2, 159, 0, 11, 14, '\0'}, {13, 0, 3, 160, 0, 10, 15, '\x01'},
      {14, 0, 5, 255, 0, 8, 16, '`'},   {15, 0, 8, 222, 0, 5, 17, '?'},
  };
  for (const auto& c : cases) {
    Song song = fixtures::emptySong();
    song.cells[c.step][c.channel] = {static_cast<std::uint8_t>(c.pitch),
                                     static_cast<std::uint8_t>(c.instrument)};
    RollPages pages = buildRollPages(song);
    RollPages expected = emptyPages();
    expected[c.page][c.line][c.column] = c.mark;
    EXPECT_EQ(pages, expected) << "step " << c.step;
  }
}

TEST(RollPages, HighestChannelWinsAndUnshowableRowsAreLeftOut) {
  Song song = fixtures::emptySong();
  song.cells[3] = {SongCell{7, 1}, kNoNote, SongCell{7, 4}};
  song.cells[4] = {SongCell{0, 1}, SongCell{14, 2}, SongCell{255, 222}};
  song.cells[5] = {SongCell{255, 0}, SongCell{200, 3}, SongCell{16, 4}};
  RollPages pages = buildRollPages(song);
  RollPages expected = emptyPages();
  expected[0][6][5] = 'e';
  EXPECT_EQ(pages, expected);
  for (const auto& page : pages) {
    for (const auto& line : page) EXPECT_EQ(line.size(), 53u);
  }
}

}  // namespace
}  // namespace zorvik
