#include "formats/utf8.hpp"

namespace zorvik {

std::size_t utf8SequenceLength(std::string_view text) {
  if (text.empty()) return 0;
  auto at = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  unsigned char lead = at(0);
  if (lead < 0x80) return 1;
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
  return n;
}

std::size_t utf8CharacterCount(std::string_view text) {
  std::size_t count = 0;
  while (!text.empty()) {
    std::size_t n = utf8SequenceLength(text);
    text.remove_prefix(n == 0 ? 1 : n);
    ++count;
  }
  return count;
}

}  // namespace zorvik
