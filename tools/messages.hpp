// How the tool names files in its messages: as file contents are shown
// (display/safe_text), so that a name holding control bytes cannot drive
// the terminal, and in one wording for a file that cannot be read or
// written.
#pragma once

#include <string>
#include <string_view>

#include "formats/error.hpp"

namespace zorvik::tool {

// A path as a message shows it: control bytes as \xNN. Showing a shown
// name again changes nothing.
std::string shownName(std::string_view path);

// Error "cannot write NAME: REASON", the reason from an errno value or in
// words.
Error cannotWrite(std::string_view name, int error);
Error cannotWrite(std::string_view name, std::string_view reason);

// Error "cannot read NAME: REASON".
Error cannotRead(std::string_view name, int error);
Error cannotRead(std::string_view name, std::string_view reason);

}  // namespace zorvik::tool
