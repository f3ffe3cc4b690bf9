// The console layer: reading one key without echo, and giving the terminal
// back exactly as it was found on every way out of the program (normal
// return, fatal error, a signal), and on a stop (Ctrl-Z) until `fg`.
#pragma once

#include <string_view>

namespace zorvik::console {

// Saves the terminal's settings (when standard input is a terminal) and
// installs the signal handlers: SIGINT, SIGTERM, SIGHUP and SIGQUIT restore
// the terminal and end the program as the signal would; SIGTSTP restores it
// and stops; SIGCONT takes the key-reading mode back and asks for a redraw.
// Call once, first thing in main.
void install();

// Puts the terminal back as install() found it. Safe to call at any time,
// also from a signal handler.
void restore();

// Waits for one key press, read raw: no echo, no Enter needed, and Ctrl-C
// is a key like any other. When standard input is not a terminal it reads
// one byte, and end of input counts as a key, so it never hangs.
void waitKey();

// True once after the program was continued (SIGCONT): what it drew may
// have been overwritten while it was stopped.
bool takeRedrawRequest();

// Whether standard output is a terminal.
bool outputIsTerminal();

// Writes one line to standard output, then a newline and a flush.
void writeLine(std::string_view line);

// Ends the program with `status` soon, whatever another thread is blocked
// on: if a normal exit has not finished within half a second (SDL's
// shut-down waits for an audio callback stuck writing to a full pipe), the
// process ends with that status all the same.
[[noreturn]] void exitWithin(int status);

}  // namespace zorvik::console
