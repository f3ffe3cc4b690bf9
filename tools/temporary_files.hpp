// Temporary files that must not outlive the command: registered while they
// exist, and removed by a signal handler if a signal ends the command first.
#pragma once

namespace zorvik::tool {

// Installs handlers for SIGINT, SIGTERM, SIGHUP, SIGQUIT and SIGPIPE that
// remove every registered file, then end the process as the signal would.
// SIGXFSZ is ignored, so that a write past the file-size limit fails with
// EFBIG and is reported like any other failed write. On Windows the
// console's Ctrl-C, Ctrl-Break and close events remove them. Call once from
// main.
void installTemporaryFileCleanup();

// Removes every registered file; async-signal-safe (for the handlers).
void removeTemporaryFiles();

// Registers a path (copied); returns its slot, or -1 when every slot is
// taken (the file is then only removed by its owner).
int registerTemporaryFile(const char* path);

// Forgets the file in a slot (after renaming or removing it).
void unregisterTemporaryFile(int slot);

}  // namespace zorvik::tool
