#include "tools/play/keys.hpp"

namespace zorvik::play {

std::pair<Key, std::size_t> decodeKey(std::string_view bytes, bool more) {
  if (bytes.empty()) return {Key::None, 0};
  switch (bytes[0]) {
    case ' ':
      return {Key::Space, 1};
    case 'q':
      return {Key::Quit, 1};
    case 'n':
      return {Key::Next, 1};
    case 'p':
      return {Key::Previous, 1};
    case '1':
      return {Key::Mute1, 1};
    case '2':
      return {Key::Mute2, 1};
    case '3':
      return {Key::Mute3, 1};
    case '+':
    case '=':
      return {Key::Louder, 1};
    case '-':
      return {Key::Softer, 1};
    case '?':
      return {Key::Help, 1};
    case '\x1b':
      break;
    default:
      return {Key::Other, 1};
  }
  // Esc, or the start of a key's sequence: ESC [ C, ESC O D ...
  if (bytes.size() == 1)
    return more ? std::pair{Key::None, std::size_t{0}} : std::pair{Key::Quit, std::size_t{1}};
  if (bytes[1] != '[' && bytes[1] != 'O') return {Key::Quit, 1};
  // A CSI sequence ends with a byte from '@' to '~'.
  std::size_t end = 2;
  while (end < bytes.size() && !(bytes[end] >= '@' && bytes[end] <= '~')) ++end;
  if (end == bytes.size())
    return more ? std::pair{Key::None, std::size_t{0}} : std::pair{Key::Other, bytes.size()};
  switch (bytes[end]) {
    case 'C':
      return {Key::Forward, end + 1};
    case 'D':
      return {Key::Back, end + 1};
    default:
      return {Key::Other, end + 1};
  }
}

}  // namespace zorvik::play
