#include "display/safe_text.hpp"

#include <cstdio>
#include <span>
#include <utility>

#include "formats/utf8.hpp"

namespace zorvik {

bool isControlByte(unsigned char byte) {
  return byte < 0x20 || byte == 0x7f || (byte >= 0x80 && byte < 0xa0);
}

namespace {

// The length of the well-formed UTF-8 sequence of two or more bytes at the
// start of text that is no C1 control (U+0080 to U+009F, encoded C2 80 to
// C2 9F), or 0.
std::size_t utf8Length(std::string_view text) {
  std::size_t n = utf8SequenceLength(text);
  if (n < 2) return 0;
  if (static_cast<unsigned char>(text[0]) == 0xc2 &&
      isControlByte(static_cast<unsigned char>(text[1]))) {
    return 0;
  }
  return n;
}

void replace(std::string& out, unsigned char byte, TextStyle style) {
  if (style == TextStyle::Escaped) {
    char hex[5];
    std::snprintf(hex, sizeof hex, "\\x%02x", byte);
    out += hex;
  } else {
    out += '?';
  }
}

}  // namespace

std::string showText(std::string_view text, TextStyle style) {
  if (style == TextStyle::Exact) return std::string(text);
  std::string out;
  out.reserve(text.size());
  while (!text.empty()) {
    auto byte = static_cast<unsigned char>(text.front());
    std::size_t n = 1;
    if (byte < 0x80 && !isControlByte(byte)) {
      out += static_cast<char>(byte);
    } else if (style != TextStyle::Columns && (n = utf8Length(text)) > 0) {
      out.append(text.substr(0, n));
    } else {
      n = 1;
      replace(out, byte, style);
    }
    text.remove_prefix(n);
  }
  return out;
}

namespace {

struct Range {
  char32_t first, last;
};

// Characters two columns wide: the East Asian wide and fullwidth blocks
// and the emoji most terminals draw wide.
constexpr Range kWide[] = {
    {0x1100, 0x115f},   {0x231a, 0x231b},   {0x2329, 0x232a},   {0x23e9, 0x23ec},
    {0x2e80, 0x303e},   {0x3041, 0x33ff},   {0x3400, 0x4dbf},   {0x4e00, 0x9fff},
    {0xa000, 0xa4cf},   {0xa960, 0xa97f},   {0xac00, 0xd7a3},   {0xf900, 0xfaff},
    {0xfe10, 0xfe19},   {0xfe30, 0xfe6f},   {0xff00, 0xff60},   {0xffe0, 0xffe6},
    {0x1f300, 0x1f64f}, {0x1f900, 0x1f9ff}, {0x20000, 0x2fffd}, {0x30000, 0x3fffd}};

// Marks that combine with the character before them, and the zero-width
// characters.
constexpr Range kZero[] = {{0x0300, 0x036f}, {0x0483, 0x0489}, {0x0591, 0x05bd}, {0x1ab0, 0x1aff},
                           {0x1dc0, 0x1dff}, {0x200b, 0x200f}, {0x20d0, 0x20ff}, {0x302a, 0x302f},
                           {0x3099, 0x309a}, {0xfe00, 0xfe0f}, {0xfe20, 0xfe2f}};

bool within(char32_t c, std::span<const Range> ranges) {
  for (const Range& r : ranges) {
    if (c >= r.first && c <= r.last) return true;
  }
  return false;
}

// The character at the start of text and its length in bytes (a stray
// byte is a character of its own).
std::pair<char32_t, std::size_t> firstCharacter(std::string_view text) {
  auto lead = static_cast<unsigned char>(text[0]);
  std::size_t n = lead < 0x80 ? 1 : utf8Length(text);
  if (n <= 1) return {lead, 1};
  char32_t c = lead & (0xff >> (n + 1));
  for (std::size_t i = 1; i < n; ++i) c = (c << 6) | (static_cast<unsigned char>(text[i]) & 0x3f);
  return {c, n};
}

int widthOf(char32_t c) {
  if (within(c, kZero)) return 0;
  return within(c, kWide) ? 2 : 1;
}

}  // namespace

int displayWidth(std::string_view text) {
  int used = 0;
  for (std::size_t i = 0; i < text.size();) {
    auto [c, n] = firstCharacter(text.substr(i));
    used += widthOf(c);
    i += n;
  }
  return used;
}

std::string_view fitToWidth(std::string_view text, int columns) {
  int used = 0;
  for (std::size_t i = 0; i < text.size();) {
    auto [c, n] = firstCharacter(text.substr(i));
    used += widthOf(c);
    if (used > columns) return text.substr(0, i);
    i += n;
  }
  return text;
}

}  // namespace zorvik
