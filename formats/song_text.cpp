#include "formats/song_text.hpp"

#include <algorithm>
#include <cstdio>

#include "formats/song_check.hpp"
#include "formats/utf8.hpp"

namespace zorvik {

SongTextError::SongTextError(int line, int column, const std::string& message)
    : Error("line " + std::to_string(line) + ", column " + std::to_string(column) + ": " + message),
      line_(line),
      column_(column) {}

std::optional<std::uint8_t> noteRow(std::string_view name) {
  if (name == "Bb3") return 0;
  for (std::size_t row = 0; row < kNoteNames.size(); ++row) {
    if (kNoteNames[row] == name) return static_cast<std::uint8_t>(row);
  }
  return std::nullopt;
}

namespace {

std::string noteNameList() {
  std::string out;
  for (std::string_view name : kNoteNames) out += (out.empty() ? "" : " ") + std::string(name);
  return out;
}

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

// A cursor over one line of the text. Columns count characters from 1, as
// an editor shows them, whatever bytes encode them.
class LineReader {
 public:
  LineReader(std::string_view text, int number) : text_(text), number_(number) {}

  [[noreturn]] void fail(const std::string& message) const { failAt(pos_, message); }
  [[noreturn]] void failAt(std::size_t pos, const std::string& message) const {
    throw SongTextError(number_, columnAt(pos), message);
  }
  std::size_t pos() const { return pos_; }
  int columnAt(std::size_t pos) const {
    return static_cast<int>(utf8CharacterCount(text_.substr(0, pos))) + 1;
  }

  void skipSpace() {
    while (pos_ < text_.size() && isSpace(text_[pos_])) ++pos_;
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
    while (pos_ < text_.size() && !isSpace(text_[pos_]) && text_[pos_] != '#') ++pos_;
    return text_.substr(start, pos_ - start);
  }

  // A decimal number 0 to max at the cursor (leading zeros and all); the
  // cursor stays on failure.
  std::optional<unsigned> number(unsigned max) {
    std::size_t start = pos_;
    unsigned value = 0;
    while (pos_ < text_.size() && isDigit(text_[pos_])) {
      value = std::min(value * 10 + static_cast<unsigned>(text_[pos_] - '0'), max + 1);
      ++pos_;
    }
    if (pos_ == start || value > max) {
      pos_ = start;
      return std::nullopt;
    }
    return value;
  }
  std::optional<unsigned> byte() { return number(255); }

  // "N:" at the start of a step line, before a space or a cell: its step
  // number. "3:30" is no label but a cell (PITCH:INSTRUMENT): a label has
  // no digit right after its colon.
  std::optional<int> stepLabel() {
    skipSpace();
    std::size_t start = pos_;
    std::size_t digits = start;
    if (digits < text_.size() && text_[digits] == '-') ++digits;  // -1: is no step either
    std::size_t end = digits;
    while (end < text_.size() && isDigit(text_[end])) ++end;
    if (end == digits || end >= text_.size() || text_[end] != ':' ||
        (end + 1 < text_.size() && isDigit(text_[end + 1]))) {
      return std::nullopt;
    }
    pos_ = digits;
    auto step = digits == start ? number(kSteps - 1) : std::nullopt;
    if (!step) failAt(start, "expected a step number from 0 to 95");
    pos_ = end + 1;
    return static_cast<int>(*step);
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

  // A pitch: a row number or a note name.
  std::uint8_t pitch() {
    if (auto row = byte()) return static_cast<std::uint8_t>(*row);
    std::size_t start = pos_;
    if (pos_ < text_.size() && text_[pos_] >= 'A' && text_[pos_] <= 'G') {
      std::size_t end = pos_ + 1;
      bool accidental = end < text_.size() && (text_[end] == '#' || text_[end] == 'b');
      if (accidental) ++end;
      while (end < text_.size() && isDigit(text_[end])) ++end;
      std::string_view name = text_.substr(start, end - start);
      if (auto row = noteRow(name)) {
        pos_ = end;
        return *row;
      }
      failAt(start, std::string(name) + " is not a note of the table: " +
                        (accidental ? "it has no sharps or flats but A#3 (or Bb3); " : "") +
                        "its notes are " + noteNameList() + ", or give a row number from 0 to 255");
    }
    fail(
        "expected a pitch: a row number from 0 to 255 or a note name such as C4, or --- for no "
        "note");
  }

  SongCell cell() {
    skipSpace();
    std::size_t start = pos_;
    std::string_view w = word();
    if (w.empty()) {
      fail(
          "expected a cell: ---, a pitch and a letter such as C4a or 12a, or "
          "PITCH:INSTRUMENT");
    }
    if (w == "---") return kNoNote;
    pos_ = start;
    std::uint8_t p = pitch();
    if (pos_ < text_.size() && text_[pos_] >= 'a' && text_[pos_] <= 'z') {
      auto instrument = static_cast<std::uint8_t>(text_[pos_] - 'a');
      ++pos_;
      if (!atCellEnd()) fail("expected a space after the cell");
      return {p, instrument};
    }
    if (pos_ < text_.size() && text_[pos_] == ':') {
      ++pos_;
      auto instrument = byte();
      if (!instrument) fail("expected an instrument number from 0 to 255 after ':'");
      if (!atCellEnd()) fail("expected a space after the cell");
      return {p, static_cast<std::uint8_t>(*instrument)};
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
    return pos_ == text_.size() || isSpace(text_[pos_]) || text_[pos_] == '#';
  }

  std::string_view text_;
  int number_;
  std::size_t pos_ = 0;
};

constexpr std::array<std::string_view, 4> kKeys = {"title", "author", "bank", "tempo"};

struct Place {
  int line = 0;
  int column = 0;
};

}  // namespace

Song compileSongText(std::string_view text, std::vector<SongTextWarning>* warnings) {
  if (text.starts_with("\xef\xbb\xbf")) text.remove_prefix(3);
  Song song{};
  for (auto& step : song.cells) step.fill(kNoNote);
  std::array<bool, kKeys.size()> seen{};
  std::array<std::array<Place, kChannels>, kSteps> places{};
  int nextStep = 0;  // the step an unnumbered line is
  bool anyStep = false;
  int lineNumber = 0;
  for (std::size_t start = 0; start <= text.size();) {
    std::size_t end = std::min(text.find('\n', start), text.size());
    std::string_view lineText = text.substr(start, end - start);
    start = end + 1;
    LineReader line(lineText, ++lineNumber);
    if (line.atEnd()) continue;

    const std::size_t firstAt = line.pos();  // after the spaces atEnd() skipped
    std::string_view first = line.word();
    std::size_t key = 0;
    while (key < kKeys.size() && kKeys[key] != first) ++key;
    if (key < kKeys.size()) {
      // These two point at the key itself.
      if (anyStep) line.failAt(firstAt, "expected a step line: the header comes before the steps");
      if (seen[key]) line.failAt(firstAt, "expected '" + std::string(first) + "' only once");
      seen[key] = true;
      if (key == 3) {
        line.skipSpace();
        auto tempo = line.byte();
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
    step.skipSpace();
    std::size_t labelAt = step.pos();
    int index = nextStep;
    if (auto label = step.stepLabel()) {
      if (*label < nextStep) {
        step.failAt(labelAt, "expected a step number from " + std::to_string(nextStep) +
                                 " to 95: numbered steps ascend");
      }
      index = *label;
    } else if (index >= kSteps) {
      step.fail("expected no more than 96 steps: the last one was step 95");
    }
    for (int k = 0; k < kChannels; ++k) {
      step.skipSpace();
      places[index][k] = {lineNumber, step.columnAt(step.pos())};
      song.cells[index][k] = step.cell();
    }
    step.expectEnd();
    nextStep = index + 1;
    anyStep = true;
  }
  // A header line missing is reported at the end of the text: its last
  // line (a final newline starts none), after its last character.
  std::string_view last = text;
  if (last.ends_with('\n')) last.remove_suffix(1);
  const int lastLine = static_cast<int>(std::count(last.begin(), last.end(), '\n')) + 1;
  if (auto newline = last.rfind('\n'); newline != std::string_view::npos) {
    last.remove_prefix(newline + 1);
  }
  if (last.ends_with('\r')) last.remove_suffix(1);
  for (std::size_t k = 0; k < seen.size(); ++k) {
    if (!seen[k]) {
      throw SongTextError(lastLine, static_cast<int>(utf8CharacterCount(last)) + 1,
                          "expected '" + std::string(kKeys[k]) + "' in the header");
    }
  }
  if (warnings != nullptr) {
    for (const CellWarning& w : checkSong(song)) {
      const Place& at = places[w.step][w.channel];
      warnings->push_back({at.line, at.column, w.message});
    }
  }
  return song;
}

namespace {

// A text field as the text writes it, so that no byte of it can drive a
// terminal the text is shown on: printable ASCII and well-formed UTF-8 as
// they are, every other byte as \xHH: the C0 controls, DEL, the C1
// controls (U+0080 to U+009F, encoded C2 80 to C2 9F, or as raw bytes) and
// any byte of no well-formed character.
std::string quote(const TextField& field) {
  // Up to the last byte that is not zero: bytes after a first zero are kept.
  std::size_t length = field.size();
  while (length > 0 && field[length - 1] == '\0') --length;
  std::string_view text(field.data(), length);
  std::string out = "\"";
  while (!text.empty()) {
    auto byte = static_cast<unsigned char>(text.front());
    std::size_t n = utf8SequenceLength(text);
    bool c1 = byte == 0xc2 && n == 2 && static_cast<unsigned char>(text[1]) < 0xa0;
    if (byte == '"' || byte == '\\') {
      out += '\\';
      out += static_cast<char>(byte);
    } else if (n > 1 && !c1) {
      out.append(text.substr(0, n));
      text.remove_prefix(n);
      continue;
    } else if (byte < 0x20 || byte >= 0x7f) {
      char escape[5];
      std::snprintf(escape, sizeof escape, "\\x%02x", byte);
      out += escape;
    } else {
      out += static_cast<char>(byte);
    }
    text.remove_prefix(1);
  }
  return out + "\"";
}

}  // namespace

std::string pitchText(std::uint8_t pitch) {
  return pitch < kPitchRows ? std::string(kNoteNames[pitch]) : std::to_string(pitch);
}

std::string cellText(const SongCell& cell) {
  if (cell == kNoNote) return "---";
  std::string out = pitchText(cell.pitch);
  if (cell.instrument < kLetteredInstruments) return out + instrumentLetter(cell.instrument);
  return out + ":" + std::to_string(cell.instrument);
}

namespace {

std::string cellsText(const StepCells& cells) {
  std::string line;
  for (const SongCell& cell : cells) {
    std::string text = cellText(cell);
    line += " " + text + std::string(text.size() < 7 ? 7 - text.size() : 0, ' ');
  }
  return line;
}

}  // namespace

std::string decompileSong(const Song& song, TextLayout layout) {
  std::string out;
  out += "title  " + quote(song.title) + "\n";
  out += "author " + quote(song.author) + "\n";
  out += "bank   " + quote(song.bankName) + "\n";
  out += "tempo  " + std::to_string(song.tempo) + "\n";
  out += "\n#        ch 1    ch 2    ch 3\n";
  for (int step = 0; step < kSteps; ++step) {
    const StepCells& cells = song.cells[step];
    if (layout.sparse) {
      if (std::all_of(cells.begin(), cells.end(), [](const SongCell& c) { return c == kNoNote; })) {
        continue;
      }
      std::string label = std::to_string(step) + ":";
      std::string line = label + std::string(8 - label.size(), ' ') + cellsText(cells);
      while (line.back() == ' ') line.pop_back();
      out += line + "\n";
      continue;
    }
    if (step % 4 == 0) out += "# bar " + std::to_string(step / 4 + 1) + "\n";
    out += "        " + cellsText(cells) + " # step " + std::to_string(step) + "\n";
  }
  return out;
}

}  // namespace zorvik
