// The keys of zorvik play, decoded from the bytes a terminal sends.
#pragma once

#include <cstddef>
#include <string_view>
#include <utility>

namespace zorvik::play {

enum class Key {
  None,
  Space,
  Quit,
  Next,
  Previous,
  Back,
  Forward,
  Mute1,
  Mute2,
  Mute3,
  Louder,
  Softer,
  Help,
  Other
};

// Decodes the first key of bytes read from the terminal; returns it and how
// many bytes it took (0 when the bytes may be the start of a longer key and
// `more` says more may come).
std::pair<Key, std::size_t> decodeKey(std::string_view bytes, bool more);

}  // namespace zorvik::play
