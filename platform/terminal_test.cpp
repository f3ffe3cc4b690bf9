#include "platform/terminal.hpp"

#include <gtest/gtest.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace zorvik::platform {
namespace {

// outputKind() in a child whose standard output is a terminal (a pty) with
// TERM as given (nullopt: unset).
Output kindWith(const std::optional<std::string>& term, bool terminal = true) {
  int master = -1, slave = -1;
  if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) return Output::NotTerminal;
  pid_t pid = ::fork();
  if (pid == 0) {
    if (terminal) ::dup2(slave, STDOUT_FILENO);
    if (term) {
      ::setenv("TERM", term->c_str(), 1);
    } else {
      ::unsetenv("TERM");
    }
    ::setenv("TERMINFO", "/nonexistent", 1);
    ::setenv("TERMINFO_DIRS", "/nonexistent", 1);
    ::_exit(static_cast<int>(outputKind()));
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  ::close(master);
  ::close(slave);
  return static_cast<Output>(WEXITSTATUS(status));
}

TEST(Terminal, OnlyATerminalThatTakesControlSequencesGetsThem) {
  struct Case {
    std::optional<std::string> term;
    bool terminal;
    Output kind;
  } cases[] = {
      {"xterm-256color", true, Output::Screen},
      {"screen", true, Output::Screen},
      {"tmux-256color", true, Output::Screen},
      {"dumb", true, Output::Plain},
      {"", true, Output::Plain},
      {std::nullopt, true, Output::Plain},
      {"no-such-terminal", true, Output::Plain},
      {"../../etc/passwd", true, Output::Plain},
      {"xterm", false, Output::NotTerminal},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(kindWith(c.term, c.terminal), c.kind) << c.term.value_or("(unset)");
  }
}

}  // namespace
}  // namespace zorvik::platform
