#include "platform/process.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <vector>

#include "platform/signals.hpp"

namespace zorvik::platform {
namespace {

// Runs f in a child process; its exit status.
template <typename F>
int inChild(F f) {
  pid_t pid = ::fork();
  if (pid == 0) {
    ::_exit(f());
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 100 + WTERMSIG(status);
}

TEST(StandardStreams, AClosedOneIsOpenedOnDevNullSoNoFileTakesItsPlace) {
  const std::vector<std::vector<int>> cases = {{0}, {1}, {2}, {0, 2}, {0, 1, 2}};
  for (const auto& closed : cases) {
    int status = inChild([&] {
      for (int fd : closed) ::close(fd);
      ensureStandardStreams();
      for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) == -1) return 1;
      }
      // A file opened now gets a descriptor past the three.
      int file = ::open("/dev/null", O_RDONLY);
      return file > 2 ? 0 : 2;
    });
    EXPECT_EQ(status, 0) << "closed " << closed.size() << " starting with " << closed[0];
  }
}

TEST(Signals, OneIgnoredFromTheStartStaysIgnored) {
  // As under nohup (SIGHUP) or for a shell's background job (SIGINT).
  int status = inChild([] {
    std::signal(SIGHUP, SIG_IGN);
    std::signal(SIGINT, SIG_IGN);
    handleTerminalSignals([] {}, [] {});
    struct sigaction hup {
    }, intr{}, term{};
    ::sigaction(SIGHUP, nullptr, &hup);
    ::sigaction(SIGINT, nullptr, &intr);
    ::sigaction(SIGTERM, nullptr, &term);
    if (hup.sa_handler != SIG_IGN || intr.sa_handler != SIG_IGN) return 1;
    return term.sa_handler != SIG_DFL && term.sa_handler != SIG_IGN ? 0 : 2;
  });
  EXPECT_EQ(status, 0);
}

// What was given back, written by the handler to a pipe.
int givenBackTo = -1;

TEST(Signals, EveryEndingSignalGivesTheTerminalBackThenEndsAsItWould) {
  for (int signal : {SIGTERM, SIGPIPE, SIGUSR1, SIGSEGV, SIGABRT, SIGALRM}) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    int status = inChild([&] {
      givenBackTo = fds[1];
      handleTerminalSignals([] { (void)!::write(givenBackTo, "x", 1); }, [] {});
      std::raise(signal);
      return 0;
    });
    ::close(fds[1]);
    char got = 0;
    EXPECT_EQ(::read(fds[0], &got, 1), 1) << signal;
    ::close(fds[0]);
    EXPECT_EQ(status, 100 + signal);
  }
}

}  // namespace
}  // namespace zorvik::platform
