// The player run as a user runs it: in a terminal (tmux), with SDL's silent
// audio driver, read back from the screen, ended by a key.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <sstream>
#include <thread>

#include "display/screen.hpp"
#include "testing/fixtures.hpp"
#include "testing/run.hpp"

namespace zorvik {
namespace {

using fixtures::run;
using fixtures::shellQuote;

std::string rstrip(std::string s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\n')) s.pop_back();
  return s;
}

std::vector<std::string> rstrippedLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(rstrip(line));
  while (!lines.empty() && lines.back().empty()) lines.pop_back();
  return lines;
}

class TerminalSession {
 public:
  TerminalSession(const std::string& driver, const Song& song, const fixtures::SampleSet& samples) {
    std::filesystem::create_directories(dir_ / "instruments");
    std::filesystem::copy_file(ZORVIKPLA_PATH, dir_ / "zorvikpla");
    fixtures::writeFile(dir_ / "instruments" / "default.zvi",
                        fixtures::bankFile(samples, "Drums", "Anon"));
    fixtures::writeFile(dir_ / "song.zvo", fixtures::songFile(song));
    std::string script = "cd " + shellQuote(dir_.path().string()) +
                         " && stty -g > before && SDL_AUDIODRIVER=" + driver + " " +
                         shellQuote((dir_ / "zorvikpla").string()) +
                         " song.zvo 2> err; echo $? > status; stty -g > after; sleep 60";
    tmux("new-session -d -x 80 -y 30 " + shellQuote(script));
  }
  ~TerminalSession() { tmux("kill-server"); }

  std::string capture() { return run(tmuxCommand("capture-pane -p")).out; }
  void signalPlayer(const char* signal) {
    // Anchored, so that it matches the player and not the shell that started it.
    run("pkill -" + std::string(signal) + " -f " +
        shellQuote("^" + dir_.path().string() + "/zorvikpla"));
  }
  void pressKey() { tmux("send-keys q"); }
  std::string file(const char* name) {
    auto bytes = fixtures::readFile(dir_ / name);
    return {bytes.begin(), bytes.end()};
  }

  // Polls until `ready` holds, for up to ten seconds.
  template <typename F>
  bool waitFor(F ready) {
    for (int i = 0; i < 200; ++i) {
      if (ready()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
  }

 private:
  std::string tmuxCommand(const std::string& args) {
    return "tmux -L " + shellQuote(socket_) + " " + args;
  }
  void tmux(const std::string& args) { run(tmuxCommand(args)); }

  fixtures::TempDir dir_;
  std::string socket_ =
      "zorvik-test-" + std::to_string(::getpid()) + "-" + std::to_string(++sessions_);
  static inline int sessions_ = 0;
};

Song exampleSong() {
  Song song = fixtures::emptySong(255, "Example", "Anon");
  song.cells[0][0] = {12, 0};
  song.cells[2][0] = {9, 1};
  song.cells[5] = {SongCell{6, 3}, SongCell{4, 4}, kNoNote};
  song.cells[50][2] = {2, 5};
  return song;
}

// The step whose screen this is, or -1 when it is no playing screen.
int shownStep(const std::vector<std::string>& lines, const Song& song,
              const SampleBankHeader& bank) {
  RollPages pages = buildRollPages(song);
  for (int step = 0; step < kSteps; ++step) {
    std::ostringstream expected;
    redrawScreen(expected, ScreenMode::Exact, song, bank, pages, step);
    if (rstrippedLines(expected.str()) == lines) return step;
  }
  return -1;
}

void playAndQuit(const std::string& driver, bool expectWarning) {
  Song song = exampleSong();
  SampleBankHeader bank{};
  bank.name = makeTextField("Drums");
  bank.author = makeTextField("Anon");
  TerminalSession session(driver, song, fixtures::countingSamples(3000));

  std::vector<std::string> screen;
  ASSERT_TRUE(session.waitFor([&] {
    screen = rstrippedLines(session.capture());
    return screen.size() == 21 && screen.back() == "press any key to exit";
  })) << session.capture();
  int first = shownStep(screen, song, bank);
  EXPECT_GE(first, 0) << session.capture();

  // The playhead moves on at the song's pace (a step is 73.5 ms).
  ASSERT_TRUE(session.waitFor([&] {
    int now = shownStep(rstrippedLines(session.capture()), song, bank);
    return now >= 0 && now != first;
  }));

  session.pressKey();
  // "after" is written last, once the player has ended.
  ASSERT_TRUE(session.waitFor([&] { return !session.file("after").empty(); }));
  EXPECT_EQ(session.file("status"), "0\n");
  EXPECT_EQ(session.file("after"), session.file("before")) << "terminal modes changed";
  std::string err = session.file("err");
  if (expectWarning) {
    EXPECT_NE(err.find("zorvikpla: cannot start audio ("), std::string::npos) << err;
    EXPECT_NE(err.find("playing on without sound"), std::string::npos) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
  } else {
    EXPECT_EQ(err, "");
  }
}

TEST(PlayerInTerminal, SignalsGiveTheTerminalBack) {
  for (const char* signal : {"TERM", "INT", "HUP"}) {
    TerminalSession session("dummy", exampleSong(), fixtures::countingSamples(3000));
    ASSERT_TRUE(session.waitFor(
        [&] { return session.capture().find("press any key to exit") != std::string::npos; }));
    session.signalPlayer(signal);
    ASSERT_TRUE(session.waitFor([&] { return !session.file("after").empty(); })) << signal;
    EXPECT_NE(session.file("status"), "0\n") << signal;  // ended by the signal
    EXPECT_EQ(session.file("after"), session.file("before")) << signal;
  }
}

TEST(PlayerInTerminal, PlaysDrawsAndQuitsOnAKey) { playAndQuit("dummy", false); }

TEST(PlayerInTerminal, WithoutAudioItWarnsAndPlaysOnSilently) { playAndQuit("nosuchdriver", true); }

}  // namespace
}  // namespace zorvik
