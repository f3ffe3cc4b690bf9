// UTF-8, as the song texts and what shows them count it.
#pragma once

#include <cstddef>
#include <string_view>

namespace zorvik {

// The length of the well-formed UTF-8 sequence at the start of text: 1 for
// an ASCII byte, 2 to 4 for the others, and 0 for a byte that starts none
// (a continuation byte, an overlong form, a surrogate, a code point past
// U+10FFFF, a sequence cut short) or for an empty text.
std::size_t utf8SequenceLength(std::string_view text);

// The characters of a text as an editor counts them: each well-formed
// sequence one, and each byte of anything else one.
std::size_t utf8CharacterCount(std::string_view text);

}  // namespace zorvik
