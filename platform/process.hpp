// The process around a program: its standard streams and its end.
#pragma once

namespace zorvik::platform {

// Opens /dev/null on any of descriptors 0, 1 and 2 that is closed, so that
// no file the program opens gets one of them (and a warning meant for
// standard error lands in it). Call first thing in main.
void ensureStandardStreams();

// Ends the program with `status` soon, whatever another thread is blocked
// on: if a normal exit has not finished within half a second (SDL's
// shut-down waits for an audio callback stuck writing to a full pipe), the
// process ends with that status all the same.
[[noreturn]] void exitWithin(int status);

}  // namespace zorvik::platform
