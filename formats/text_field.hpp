// Fixed 32-byte text slots, as both file formats store them: a text ended by
// a zero byte. A slot with no zero byte reads as all of its 32 bytes.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
#include <string_view>

namespace zorvik {

inline constexpr std::size_t kTextFieldSize = 32;
using TextField = std::array<char, kTextFieldSize>;

inline std::string_view textOf(const TextField& field) {
  const void* zero = std::memchr(field.data(), 0, field.size());
  std::size_t n =
      zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - field.data()) : field.size();
  return {field.data(), n};
}

// Writes text into a slot, zero-padded; the caller checks that it fits in
// 31 bytes. Longer text is cut so that the slot still ends in a zero byte.
inline TextField makeTextField(std::string_view text) {
  TextField field{};
  std::memcpy(field.data(), text.data(), std::min(text.size(), kTextFieldSize - 1));
  return field;
}

}  // namespace zorvik
