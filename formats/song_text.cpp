#include "formats/song_text.hpp"

#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>

namespace zorvik {

SongTextError::SongTextError(int line, int column, const std::string& message)
    : Error("line " + std::to_string(line) + ", column " + std::to_string(column) + ": " + message),
      line_(line),
      column_(column) {}

namespace {

// A cursor over one line of the text, counting columns from 1.
class LineReader {
 public:
  LineReader(std::string_view text, int number) : text_(text), number_(number) {}

  [[noreturn]] void fail(const std::string& message) const {
    throw SongTextError(number_, static_cast<int>(pos_) + 1, message);
  }

  void skipSpace() {
    while (pos_ < text_.size() &&
           (text_[pos_] == ' ' || text_[pos_] == '\t' || text_[pos_] == '\r')) {
      ++pos_;
    }
  }
  // True at the end of the line or at a comment.
  bool atEnd() {
    skipSpace();
    return pos_ == text_.size() || text_[pos_] == '#';
  }
  void expectEnd() {
    if (!atEnd()) fail("expected the end of the line or a '#' comment");
  }

  std::string_view word() {
    skipSpace();
    std::size_t start = pos_;
    while (pos_ < text_.size() && text_[pos_] != ' ' && text_[pos_] != '\t' &&
           text_[pos_] != '\r' && text_[pos_] != '#') {
      ++pos_;
    }
    return text_.substr(start, pos_ - start);
  }

  // A decimal number 0 to max, at the cursor.
  std::optional<unsigned> number(unsigned max) {
    std::size_t start = pos_;
    unsigned value = 0;
    while (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9' && pos_ - start < 4) {
      value = value * 10 + static_cast<unsigned>(text_[pos_] - '0');
      ++pos_;
    }
    if (pos_ == start || value > max ||
        (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9')) {
      pos_ = start;
      return std::nullopt;
    }
    return value;
  }

  // A double-quoted string of at most 32 bytes, with \" \\ and \xHH escapes.
  TextField quoted() {
    skipSpace();
    if (pos_ == text_.size() || text_[pos_] != '"') fail("expected a text in double quotes");
    ++pos_;
    std::string value;
    for (;;) {
      if (pos_ == text_.size()) fail("expected a closing '\"'");
      char c = text_[pos_];
      if (c == '"') break;
      if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
        fail("expected a printable character or an escape such as \\x09");
      }
      if (c == '\\') {
        ++pos_;
        if (pos_ < text_.size() && (text_[pos_] == '"' || text_[pos_] == '\\')) {
          c = text_[pos_];
        } else if (pos_ < text_.size() && text_[pos_] == 'x') {
          int high = pos_ + 1 < text_.size() ? hexDigit(text_[pos_ + 1]) : -1;
          int low = pos_ + 2 < text_.size() ? hexDigit(text_[pos_ + 2]) : -1;
          if (high < 0 || low < 0) fail("expected two hexadecimal digits after \\x");
          // A stored text ends at its first zero byte, so a zero inside one
          // could not be written back: bytes after it would be lost.
          if (high == 0 && low == 0)
            fail("expected \\x01 to \\xff: a zero byte would end the text");
          c = static_cast<char>(high * 16 + low);
          pos_ += 2;
        } else {
          fail("expected \\\", \\\\ or \\xHH");
        }
      }
      value += c;
      if (value.size() > kTextFieldSize) fail("expected at most 32 bytes of text");
      ++pos_;
    }
    ++pos_;
    TextField field{};
    std::copy(value.begin(), value.end(), field.begin());
    return field;
  }

  SongCell cell() {
    skipSpace();
    std::size_t start = pos_;
    std::string_view w = word();
    if (w.empty())
      fail("expected a cell: ---, a pitch row and a letter such as 12a, or PITCH:INSTRUMENT");
    if (w == "---") return kNoNote;
    pos_ = start;
    auto pitch = number(255);
    if (!pitch) fail("expected a pitch row from 0 to 255, or --- for no note");
    if (pos_ < text_.size() && text_[pos_] >= 'a' && text_[pos_] <= 'z') {
      auto instrument = static_cast<std::uint8_t>(text_[pos_] - 'a');
      ++pos_;
      if (!atCellEnd()) fail("expected a space after the cell");
      return {static_cast<std::uint8_t>(*pitch), instrument};
    }
    if (pos_ < text_.size() && text_[pos_] == ':') {
      ++pos_;
      auto instrument = number(255);
      if (!instrument) fail("expected an instrument number from 0 to 255 after ':'");
      if (!atCellEnd()) fail("expected a space after the cell");
      return {static_cast<std::uint8_t>(*pitch), static_cast<std::uint8_t>(*instrument)};
    }
    fail("expected an instrument letter a to z, or ':' and an instrument number");
  }

 private:
  static int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  }
  bool atCellEnd() const {
    return pos_ == text_.size() || text_[pos_] == ' ' || text_[pos_] == '\t' ||
           text_[pos_] == '\r' || text_[pos_] == '#';
  }

  std::string_view text_;
  int number_;
  std::size_t pos_ = 0;
};

constexpr std::array<std::string_view, 4> kKeys = {"title", "author", "bank", "tempo"};

}  // namespace

Song compileSongText(std::string_view text) {
  Song song{};
  std::array<bool, kKeys.size()> seen{};
  int steps = 0;
  int lineNumber = 0;
  for (std::size_t start = 0; start <= text.size();) {
    std::size_t end = std::min(text.find('\n', start), text.size());
    std::string_view lineText = text.substr(start, end - start);
    start = end + 1;
    LineReader line(lineText, ++lineNumber);
    if (line.atEnd()) continue;

    std::string_view first = line.word();
    std::size_t key = 0;
    while (key < kKeys.size() && kKeys[key] != first) ++key;
    if (key < kKeys.size()) {
      // These two point at the key itself.
      LineReader keyStart(lineText, lineNumber);
      keyStart.skipSpace();
      if (steps > 0) keyStart.fail("expected a step line: the header comes before the steps");
      if (seen[key]) keyStart.fail("expected '" + std::string(first) + "' only once");
      seen[key] = true;
      if (key == 3) {
        line.skipSpace();
        auto tempo = line.number(255);
        if (!tempo) line.fail("expected a tempo from 0 to 255");
        song.tempo = static_cast<std::uint8_t>(*tempo);
      } else {
        TextField& field = key == 0 ? song.title : key == 1 ? song.author : song.bankName;
        field = line.quoted();
      }
      line.expectEnd();
      continue;
    }

    LineReader step(lineText, lineNumber);
    for (std::size_t k = 0; k < seen.size(); ++k) {
      if (!seen[k]) step.fail("expected '" + std::string(kKeys[k]) + "' before the first step");
    }
    if (steps == kSteps) step.fail("expected no more than 96 step lines");
    for (SongCell& cell : song.cells[steps]) cell = step.cell();
    step.expectEnd();
    ++steps;
  }
  if (steps != kSteps) {
    throw SongTextError(lineNumber, 1, "expected 96 step lines, found " + std::to_string(steps));
  }
  return song;
}

namespace {

std::string quote(const TextField& field) {
  std::string out = "\"";
  for (char c : textOf(field)) {
    auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20 || byte == 0x7f) {
      char escape[5];
      std::snprintf(escape, sizeof escape, "\\x%02x", byte);
      out += escape;
    } else {
      out += c;  // printable ASCII, and UTF-8 bytes as they are
    }
  }
  return out + "\"";
}

std::string cellText(const SongCell& cell) {
  if (cell.isEmptyMarker()) return "---";
  std::string out = std::to_string(cell.pitch);
  if (cell.instrument < 26) return out + static_cast<char>('a' + cell.instrument);
  return out + ":" + std::to_string(cell.instrument);
}

}  // namespace

std::string decompileSong(const Song& song) {
  std::string out;
  out += "title  " + quote(song.title) + "\n";
  out += "author " + quote(song.author) + "\n";
  out += "bank   " + quote(song.bankName) + "\n";
  out += "tempo  " + std::to_string(song.tempo) + "\n";
  out += "\n#        ch 0    ch 1    ch 2\n";
  for (int step = 0; step < kSteps; ++step) {
    if (step % 4 == 0) out += "# bar " + std::to_string(step / 4 + 1) + "\n";
    std::string line = "        ";
    for (const SongCell& cell : song.cells[step]) {
      std::string text = cellText(cell);
      line += " " + text + std::string(text.size() < 7 ? 7 - text.size() : 0, ' ');
    }
    out += line + " # step " + std::to_string(step) + "\n";
  }
  return out;
}

}  // namespace zorvik
