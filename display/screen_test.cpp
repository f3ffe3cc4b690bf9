#include "display/screen.hpp"

#include <gtest/gtest.h>

#include <sstream>

#include "testing/fixtures.hpp"

namespace zorvik {
namespace {

Song exampleSong() {
  Song song = fixtures::emptySong(100, "Example", "Anon");
  song.cells[0][0] = {12, 0};
  song.cells[13][0] = {13, 0};
  song.cells[2][0] = {9, 1};
  song.cells[5][0] = {6, 3};
  song.cells[5][1] = {4, 4};
  song.cells[8][0] = {2, 5};
  return song;
}

SampleBankHeader bankHeader(std::string_view name, std::string_view author) {
  SampleBankHeader header{};
  header.name = makeTextField(name);
  header.author = makeTextField(author);
  return header;
}

std::string screen(const Song& song, const SampleBankHeader& bank, int step,
                   ScreenMode mode = ScreenMode::Exact) {
  std::ostringstream out;
  redrawScreen(out, mode, song, bank, buildRollPages(song), step);
  return out.str();
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> result;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) result.push_back(line);
  return result;
}

TEST(Screen, ExampleScreenByteForByte) {
  const std::string blank(53, ' ');
  const std::string expected =
      "Zorvik Player v1.0\n"
      "\n"
      "Title:      Example\n"
      "Author:     Anon\n"
      "Samplebank: Drums by Anon\n"
      "\n"
      "       @\n"
      "               a                                     \n"
      "/-a---+---+---+---+---+---+---+---+---+---+---+---+->\n"
      "| |   |   |   |   |   |   |   |   |   |   |   |   | >\n"
      "|-+---+---+---+---+---+---+---+---+---+---+---+---+->\n"
      "| | b |   |   |   |   |   |   |   |   |   |   |   | >\n"
      "|-+---+---+---+---+---+---+---+---+---+---+---+---+->\n"
      "| |   |   |   |   |   |   |   |   |   |   |   |   | >\n"
      "|-+---+d--+---+---+---+---+---+---+---+---+---+---+->\n"
      "| |   |   |   |   |   |   |   |   |   |   |   |   | >\n"
      "\\-+---+e--+---+---+---+---+---+---+---+---+---+---+->\n" +
      blank + "\n" + "          f                                          \n" + blank + "\n" +
      "press any key to exit\n";
  EXPECT_EQ(screen(exampleSong(), bankHeader("Drums", "Anon"), 5), expected);
}

TEST(Screen, PlayheadAndPagePerStep) {
  struct Case {
    int step;
    std::size_t spaces;
    char staffStart;
  } cases[] = {{0, 2, '/'}, {5, 7, '/'}, {47, 49, '/'}, {48, 2, '<'}, {50, 4, '<'}, {95, 49, '<'}};
  for (const auto& c : cases) {
    auto l = lines(screen(exampleSong(), bankHeader("Drums", "Anon"), c.step));
    ASSERT_EQ(l.size(), 21u);
    EXPECT_EQ(l[6], std::string(c.spaces, ' ') + "@") << c.step;
    EXPECT_EQ(l[8][0], c.staffStart) << c.step;
    for (int i = 7; i < 20; ++i) EXPECT_EQ(l[i].size(), 53u);
  }
}

TEST(Screen, EmptyAndFullTextFields) {
  Song song = fixtures::emptySong(100, "", "");
  auto l = lines(screen(song, bankHeader("", ""), 0));
  EXPECT_EQ(l[2], "Title:      ");
  EXPECT_EQ(l[3], "Author:     ");
  EXPECT_EQ(l[4], "Samplebank:  by ");

  song.title.fill('T');  // no zero byte: shown as its 32 bytes
  SampleBankHeader bank = bankHeader("", "");
  bank.name.fill('N');
  bank.author.fill('A');
  l = lines(screen(song, bank, 0));
  EXPECT_EQ(l[2], "Title:      " + std::string(32, 'T'));
  EXPECT_EQ(l[4], "Samplebank: " + std::string(32, 'N') + " by " + std::string(32, 'A'));
}

TEST(Screen, OnATerminalEachScreenIsDrawnOverTheLastInPlace) {
  // No clearing, so nothing scrolls into the terminal's history: the cursor
  // goes home, every line erases the rest of its row, the last what is below.
  const std::string exact = screen(exampleSong(), bankHeader("Drums", "Anon"), 5);
  const std::string frame =
      screen(exampleSong(), bankHeader("Drums", "Anon"), 5, ScreenMode::Terminal);
  EXPECT_EQ(frame.rfind("\x1b[HZorvik Player v1.0\x1b[K\n", 0), 0u);
  EXPECT_TRUE(frame.ends_with("press any key to exit\x1b[K\n\x1b[J"));
  EXPECT_EQ(frame.find("\x1b[2J"), std::string::npos);
  std::string unescaped = frame;
  for (const char* escape : {"\x1b[H", "\x1b[K", "\x1b[J"}) {
    for (auto at = unescaped.find(escape); at != std::string::npos; at = unescaped.find(escape)) {
      unescaped.erase(at, std::string_view(escape).size());
    }
  }
  EXPECT_EQ(unescaped, exact);  // what a person sees is the same screen
}

TEST(Screen, OnATerminalNoByteFromTheFilesDrivesIt) {
  Song song = fixtures::emptySong(100, "a\x1b]0;owned\x07z", "tab\there \xc3\xa4 \xc2\x9b");
  song.cells[0][0] = {5, 186};  // (186 + 97) % 256 is ESC
  song.cells[1][0] = {5, 169};  // a newline
  song.cells[2][0] = {5, 58};   // 0x9B, an 8-bit CSI
  song.cells[3][0] = {5, 98};   // 0xC3 and 0xA9 side by side would be one UTF-8
  song.cells[4][0] = {5, 72};   // character, and shift the roll by a column
  SampleBankHeader bank{};
  bank.name = makeTextField("N\x7f\x9b[2J");
  struct Case {
    ScreenMode mode;
    std::vector<std::string> expected;
  } cases[] = {
      {ScreenMode::Terminal,
       {
           "Title:      a?]0;owned?z",
           "Author:     tab?here \xc3\xa4 ??",
           "Samplebank: N??[2J by ",
       }},
      {ScreenMode::Exact,
       {"Title:      a\x1b]0;owned\x07z", "Author:     tab\there \xc3\xa4 \xc2\x9b",
        "Samplebank: N\x7f\x9b[2J by "}},
  };
  for (const auto& c : cases) {
    std::ostringstream out;
    redrawScreen(out, c.mode, song, bank, buildRollPages(song), 0);
    std::string text = out.str();
    for (const char* escape : {"\x1b[H", "\x1b[K", "\x1b[J"}) {
      for (auto at = text.find(escape); at != std::string::npos; at = text.find(escape)) {
        text.erase(at, std::string_view(escape).size());
      }
    }
    auto l = lines(text);
    EXPECT_EQ(l[2], c.expected[0]);
    EXPECT_EQ(l[3], c.expected[1]);
    EXPECT_EQ(l[4], c.expected[2]);
    if (c.mode == ScreenMode::Terminal) {
      ASSERT_EQ(l.size(), 21u);
      EXPECT_EQ(l[7 + 8], "| ?????   |   |   |   |   |   |   |   |   |   |   | >");
      for (const std::string& line : l) {
        for (unsigned char byte : line) EXPECT_FALSE(byte < 0x20 || byte == 0x7f) << line;
      }
    } else {
      EXPECT_EQ(l.size(), 22u);  // the newline mark splits a line, as stored
    }
  }
}

}  // namespace
}  // namespace zorvik
