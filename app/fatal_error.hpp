// The player's one fatal-error report.
#pragma once

#include <string>

#include "platform/terminal.hpp"

namespace zorvik {

// Writes "Error: " and the message, then "press any key to quit", waits for
// a key, gives the terminal back and ends the process with status 1, without
// the clean-up of a normal exit and without a core dump.
[[noreturn]] void fatalError(platform::Terminal& terminal, const std::string& message);

}  // namespace zorvik
