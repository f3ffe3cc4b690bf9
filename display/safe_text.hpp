// The one way text from a song or bank file reaches a terminal: control
// bytes (C0 but newline, DEL, and C1, whether raw or UTF-8 encoded) never
// get through, so a file cannot move the cursor, clear the screen, retitle
// the window or drive the terminal in any other way.
#pragma once

#include <string>
#include <string_view>

namespace zorvik {

enum class TextStyle {
  Exact,    // byte for byte, as stored (not for a terminal)
  Line,     // UTF-8 characters as they are; every other byte as '?'
  Columns,  // one column per byte: printable ASCII as it is, every other byte as '?'
  Escaped,  // UTF-8 characters as they are; every other byte as \xNN
};

// Whether a byte is a control byte: C0 (0x00 to 0x1F), DEL or C1 (0x80 to 0x9F).
bool isControlByte(unsigned char byte);

// The text as it is shown in that style. A newline is a control byte like
// the others: a text from a file never splits the line it is shown on.
std::string showText(std::string_view text, TextStyle style);

// The columns a shown text takes on a terminal: two for each wide (East
// Asian) character, none for a combining mark, one for any other
// character or stray byte.
int displayWidth(std::string_view text);

// The longest start of a shown text that takes at most `columns` columns,
// cut between characters.
std::string_view fitToWidth(std::string_view text, int columns);

}  // namespace zorvik
