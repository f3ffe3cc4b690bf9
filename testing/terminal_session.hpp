// A program run in a terminal as a person runs it: in a tmux pane of a
// given size, read back from the screen, driven by keys and signals.
#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

namespace zorvik::fixtures {

class TerminalSession {
 public:
  // Runs the shell command `command` in `dir`, in a pane of columns x lines
  // of a tmux server of its own. Before the command the terminal's settings
  // are saved in dir/before; after it its exit status goes to dir/status and
  // the settings to dir/after (written last: wait for it). The pane then
  // stays open.
  TerminalSession(const std::filesystem::path& dir, const std::string& command, int columns = 80,
                  int lines = 30);
  ~TerminalSession();
  TerminalSession(const TerminalSession&) = delete;
  TerminalSession& operator=(const TerminalSession&) = delete;

  // The visible pane, one line per row.
  std::string capture();
  // Lines scrolled off the top of the pane into its history.
  int historySize();
  // Whether the cursor is shown.
  bool cursorVisible();
  // From now on every byte the program writes to the terminal is appended
  // to `path`.
  void record(const std::filesystem::path& path);
  // tmux send-keys arguments: "q", "Space", "Left", "Escape" ...
  void sendKeys(const std::string& keys);
  // Sends a signal to the processes whose command line starts with `start`.
  void signal(const std::string& start, const char* name);
  // The pane's terminal settings now, as stty -g prints them.
  std::string settings();
  // The contents of a file in dir ("" when missing).
  std::string file(const std::string& name) const;
  bool ended() const { return !file("after").empty(); }

  // Polls until ready() holds, for up to `timeout`.
  template <typename F>
  static bool waitFor(F ready, std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
    auto until = std::chrono::steady_clock::now() + timeout;
    for (;;) {
      if (ready()) return true;
      if (std::chrono::steady_clock::now() > until) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }

 private:
  std::string tmux(const std::string& args);
  std::filesystem::path dir_;
  std::string socket_;
};

}  // namespace zorvik::fixtures
