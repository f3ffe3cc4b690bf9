#include "display/safe_text.hpp"

#include <gtest/gtest.h>

namespace zorvik {
namespace {

TEST(SafeText, ControlBytesNeverReachTheTerminal) {
  struct Case {
    const char* what;
    std::string in;
    std::string line, columns, escaped;
  } cases[] = {
      {"plain", "Drums 1", "Drums 1", "Drums 1", "Drums 1"},
      {"C0 and DEL", "a\x1b[2J\x07\x7f", "a?[2J??", "a?[2J??", "a\\x1b[2J\\x07\\x7f"},
      {"newline", "a\nb", "a?b", "a?b", "a\\x0ab"},
      {"raw C1 byte (8-bit CSI)",
       "x\x9b"
       "31m",
       "x?31m", "x?31m", "x\\x9b31m"},
      {"C1 encoded in UTF-8",
       "x\xc2\x9b"
       "31m",
       "x??31m", "x??31m", "x\\xc2\\x9b31m"},
      {"UTF-8 letters", "K\xc3\xa4se \xe2\x82\xac \xf0\x9f\x8e\xb5",
       "K\xc3\xa4se \xe2\x82\xac \xf0\x9f\x8e\xb5", "K??se ??? ????",
       "K\xc3\xa4se \xe2\x82\xac \xf0\x9f\x8e\xb5"},
      {"no-break space U+00A0",
       "a\xc2\xa0"
       "b",
       "a\xc2\xa0"
       "b",
       "a??b",
       "a\xc2\xa0"
       "b"},
      {"cut sequence", "a\xe2\x82", "a??", "a??", "a\\xe2\\x82"},
      {"overlong and surrogate", "\xc0\xaf\xed\xa0\x80", "?????", "?????",
       "\\xc0\\xaf\\xed\\xa0\\x80"},
      {"past U+10FFFF", "\xf4\x90\x80\x80", "????", "????", "\\xf4\\x90\\x80\\x80"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(showText(c.in, TextStyle::Line), c.line) << c.what;
    EXPECT_EQ(showText(c.in, TextStyle::Columns), c.columns) << c.what;
    EXPECT_EQ(showText(c.in, TextStyle::Escaped), c.escaped) << c.what;
    EXPECT_EQ(showText(c.in, TextStyle::Exact), c.in) << c.what;
    // One column per byte in Columns: the roll keeps its width.
    EXPECT_EQ(showText(c.in, TextStyle::Columns).size(), c.in.size()) << c.what;
  }
}

TEST(SafeText, ControlBytes) {
  for (int b = 0; b < 256; ++b) {
    bool control = b < 0x20 || b == 0x7f || (b >= 0x80 && b <= 0x9f);
    EXPECT_EQ(isControlByte(static_cast<unsigned char>(b)), control) << b;
  }
}

}  // namespace
}  // namespace zorvik
