#include <csignal>

#include "platform/signals.hpp"
#include "tools/temporary_files.hpp"

namespace zorvik::tool {

namespace {

const int kCleaningSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE};

// Only unlink and re-raise: both async-signal-safe.
void onSignal(int signal) {
  removeTemporaryFiles();
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

}  // namespace

void installTemporaryFileCleanup() {
  for (int signal : kCleaningSignals) handleSignal(signal, onSignal);
  std::signal(SIGXFSZ, SIG_IGN);
}

}  // namespace zorvik::tool
