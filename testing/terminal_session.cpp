#include "testing/terminal_session.hpp"

#include <unistd.h>

#include "testing/fixtures.hpp"
#include "testing/run.hpp"

namespace zorvik::fixtures {

namespace {
int sessions = 0;
}

TerminalSession::TerminalSession(const std::filesystem::path& dir, const std::string& command,
                                 int columns, int lines)
    : dir_(dir),
      socket_("zorvik-test-" + std::to_string(::getpid()) + "-" + std::to_string(++sessions)) {
  // The files of a session before it in the same folder are gone first.
  std::filesystem::remove(dir / "after");
  std::filesystem::remove(dir / "status");
  std::string script = "cd " + shellQuote(dir.string()) + " && stty -g > before; " + command +
                       "; echo $? > status; stty -g > after; sleep 600";
  tmux("new-session -d -x " + std::to_string(columns) + " -y " + std::to_string(lines) + " " +
       shellQuote(script));
}

TerminalSession::~TerminalSession() { tmux("kill-server"); }

std::string TerminalSession::tmux(const std::string& args) {
  return run("tmux -L " + shellQuote(socket_) + " " + args).out;
}

std::string TerminalSession::capture() { return tmux("capture-pane -p"); }

int TerminalSession::historySize() {
  return std::stoi("0" + tmux("display-message -p '#{history_size}'"));
}

bool TerminalSession::cursorVisible() {
  return tmux("display-message -p '#{cursor_flag}'").starts_with("1");
}

void TerminalSession::record(const std::filesystem::path& path) {
  tmux("pipe-pane -o " + shellQuote("cat >> " + shellQuote(path.string())));
}

void TerminalSession::sendKeys(const std::string& keys) { tmux("send-keys " + keys); }

void TerminalSession::signal(const std::string& start, const char* name) {
  run("pkill -" + std::string(name) + " -f " + shellQuote("^" + start));
}

std::string TerminalSession::settings() {
  std::string tty = tmux("display-message -p '#{pane_tty}'");
  while (!tty.empty() && tty.back() == '\n') tty.pop_back();
  return run("stty -g -F " + shellQuote(tty)).out;
}

std::string TerminalSession::file(const std::string& name) const {
  auto bytes = readFile(dir_ / name);
  return {bytes.begin(), bytes.end()};
}

}  // namespace zorvik::fixtures
