// The player's console layer: reading one key without echo, clearing the
// screen, and giving the terminal back exactly as it was found, on every
// way out of the program (normal return, fatal error, or a signal).
#pragma once

#include <string_view>

namespace zorvik::console {

// Saves the terminal's settings (when standard input is a terminal) and
// installs handlers for SIGINT, SIGTERM, SIGHUP and SIGQUIT that restore
// them and re-raise the signal. Call once, first thing in main.
void install();

// Puts the terminal back as install() found it. Safe to call at any time,
// also from a signal handler.
void restore();

// Waits for one key press, read raw: no echo, no Enter needed, and Ctrl-C
// is a key like any other. When standard input is not a terminal it reads
// one byte, and end of input counts as a key, so it never hangs.
void waitKey();

// The control sequence that empties the screen and homes the cursor, or an
// empty string when standard output is not a terminal (screens then simply
// follow one another).
std::string_view clearSequence();

// Writes one line to standard output, then a newline and a flush.
void writeLine(std::string_view line);

}  // namespace zorvik::console
