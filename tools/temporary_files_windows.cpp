#include <windows.h>

#include "tools/temporary_files.hpp"

namespace zorvik::tool {

namespace {

// Runs on a thread of its own; the default handler then ends the process.
BOOL WINAPI onConsoleEvent(DWORD) {
  removeTemporaryFiles();
  return FALSE;
}

}  // namespace

void installTemporaryFileCleanup() { ::SetConsoleCtrlHandler(onConsoleEvent, TRUE); }

}  // namespace zorvik::tool
