#include "display/safe_text.hpp"

#include <cstdio>

namespace zorvik {

bool isControlByte(unsigned char byte) {
  return byte < 0x20 || byte == 0x7f || (byte >= 0x80 && byte < 0xa0);
}

namespace {

// The length of the well-formed UTF-8 sequence of two or more bytes at the
// start of text, or 0. Overlong forms, surrogates and code points past
// U+10FFFF are not well formed.
std::size_t utf8Length(std::string_view text) {
  auto at = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  unsigned char lead = at(0);
  std::size_t n = lead >= 0xc2 && lead <= 0xdf   ? 2
                  : lead >= 0xe0 && lead <= 0xef ? 3
                  : lead >= 0xf0 && lead <= 0xf4 ? 4
                                                 : 0;
  if (n == 0 || text.size() < n) return 0;
  for (std::size_t i = 1; i < n; ++i) {
    if ((at(i) & 0xc0) != 0x80) return 0;
  }
  unsigned char second = at(1);
  if ((lead == 0xe0 && second < 0xa0) || (lead == 0xed && second > 0x9f) ||
      (lead == 0xf0 && second < 0x90) || (lead == 0xf4 && second > 0x8f)) {
    return 0;
  }
  // U+0080 to U+009F, the C1 controls, encoded: C2 80 to C2 9F.
  if (lead == 0xc2 && isControlByte(second)) return 0;
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

}  // namespace zorvik
