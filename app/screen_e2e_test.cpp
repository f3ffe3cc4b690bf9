// The player run as a user runs it: in a terminal (tmux), with SDL's silent
// audio driver, read back from the screen, ended by a key, a signal or a
// stop; and whatever ends it, the terminal is given back as it was.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <sstream>
#include <thread>

#include "display/screen.hpp"
#include "testing/fixtures.hpp"
#include "testing/run.hpp"
#include "testing/terminal_session.hpp"

namespace zorvik {
namespace {

using fixtures::run;
using fixtures::shellQuote;
using fixtures::TerminalSession;
using namespace std::chrono_literals;
using namespace std::string_literals;

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

Song exampleSong(std::string_view title = "Example") {
  Song song = fixtures::emptySong(255, title, "Anon");
  song.cells[0][0] = {12, 0};
  song.cells[2][0] = {9, 1};
  song.cells[5] = {SongCell{6, 3}, SongCell{4, 4}, kNoNote};
  song.cells[50][2] = {2, 5};
  return song;
}

SampleBankHeader bankHeader() {
  SampleBankHeader bank{};
  bank.name = makeTextField("Drums");
  bank.author = makeTextField("Anon");
  return bank;
}

// A folder holding the player, its instruments/ and a song.
struct Install {
  fixtures::TempDir dir;
  std::string player = (dir / "zorvikpla").string();
  explicit Install(const Song& song = exampleSong()) {
    std::filesystem::create_directories(dir / "instruments");
    std::filesystem::copy_file(ZORVIKPLA_PATH, player);
    fixtures::writeFile(dir / "instruments" / "default.zvi",
                        fixtures::bankFile(fixtures::countingSamples(3000), "Drums", "Anon"));
    fixtures::writeFile(dir / "song.zvo", fixtures::songFile(song));
  }
  // The player's command line in the session, standard error to err.
  std::string command(const std::string& driver = "dummy") const {
    return "SDL_AUDIODRIVER=" + driver + " " + shellQuote(player) + " song.zvo 2> err";
  }
};

// The step whose screen this is, or -1 when it is no playing screen.
int shownStep(const std::vector<std::string>& lines, const Song& song,
              const SampleBankHeader& bank = bankHeader()) {
  RollPages pages = buildRollPages(song);
  for (int step = 0; step < kSteps; ++step) {
    if (rstrippedLines([&] {
          std::string text;
          for (const auto& l : screenLines(song, bank, pages, step)) text += l + "\n";
          return text;
        }()) == lines) {
      return step;
    }
  }
  return -1;
}

bool showsScreen(TerminalSession& session) {
  return session.capture().find("press any key to exit") != std::string::npos;
}

void playAndQuit(const std::string& driver, bool expectWarning) {
  Song song = exampleSong();
  Install install(song);
  TerminalSession session(install.dir.path(), install.command(driver));

  std::vector<std::string> screen;
  ASSERT_TRUE(TerminalSession::waitFor([&] {
    screen = rstrippedLines(session.capture());
    return screen.size() == 21 && screen.back() == "press any key to exit";
  })) << session.capture();
  int first = shownStep(screen, song);
  EXPECT_GE(first, 0) << session.capture();
  const int history = session.historySize();

  // The playhead moves on at the song's pace (a step is 73.5 ms), and the
  // screen is drawn in place: nothing goes into the terminal's history.
  ASSERT_TRUE(TerminalSession::waitFor([&] {
    int now = shownStep(rstrippedLines(session.capture()), song);
    return now >= 0 && now != first;
  }));
  std::this_thread::sleep_for(1500ms);  // some 20 steps
  EXPECT_EQ(session.historySize(), history);

  session.sendKeys("q");
  ASSERT_TRUE(TerminalSession::waitFor([&] { return session.ended(); }));
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

TEST(PlayerInTerminal, PlaysDrawsInPlaceAndQuitsOnAKey) { playAndQuit("dummy", false); }

TEST(PlayerInTerminal, WithoutAudioItWarnsAndPlaysOnSilently) { playAndQuit("nosuchdriver", true); }

TEST(PlayerInTerminal, ATerminalSmallerThanTheScreenIsDrawnInPlaceWithinItsSize) {
  struct Size {
    int columns, lines;
  } sizes[] = {{80, 10}, {30, 30}, {10, 3}, {80, 1}};
  for (const Size& size : sizes) {
    Install install;
    TerminalSession session(install.dir.path(), install.command(), size.columns, size.lines);
    ASSERT_TRUE(TerminalSession::waitFor([&] {
      return session.capture().starts_with(
          std::string("Zorvik Player v1.0").substr(0, static_cast<std::size_t>(size.columns)));
    })) << session.capture();
    const int history = session.historySize();
    std::this_thread::sleep_for(1500ms);  // some 20 screens
    EXPECT_EQ(session.historySize(), history) << size.columns << "x" << size.lines;
    std::string screen = session.capture();
    EXPECT_TRUE(
        screen.starts_with("Zorvik Player"s.substr(0, static_cast<std::size_t>(size.columns))))
        << screen;
    session.sendKeys("q");
    ASSERT_TRUE(TerminalSession::waitFor([&] { return session.ended(); }));
  }
}

TEST(PlayerInTerminal, AKeyIsNotEchoedAndANoSoundWarningIsSaidAgainOnceTheTerminalIsBack) {
  Install install;
  // Standard error on the terminal too: the first screen draws over the
  // warning, which is therefore said again at the end.
  TerminalSession session(install.dir.path(), "SDL_AUDIODRIVER=nosuchdriver " +
                                                  shellQuote(install.player) + " song.zvo");
  ASSERT_TRUE(TerminalSession::waitFor([&] { return showsScreen(session); }));
  session.sendKeys("%");
  ASSERT_TRUE(TerminalSession::waitFor([&] { return session.ended(); }));
  const std::string screen = session.capture();
  EXPECT_EQ(screen.find('%'), std::string::npos) << "the key was echoed:\n" << screen;
  // Below the last screen, the warning.
  const std::size_t end = screen.find("press any key to exit");
  ASSERT_NE(end, std::string::npos) << screen;
  const std::size_t warning = screen.find("zorvikpla: cannot start audio (", end);
  ASSERT_NE(warning, std::string::npos) << screen;
  EXPECT_EQ(screen.substr(end, warning - end).find_first_not_of("press any key to exit\n "),
            std::string::npos)
      << screen;
}

TEST(PlayerInTerminal, SignalsGiveTheTerminalBack) {
  for (const char* signal : {"TERM", "INT", "HUP", "QUIT", "PIPE", "USR1"}) {
    Install install;
    TerminalSession session(install.dir.path(), install.command());
    ASSERT_TRUE(TerminalSession::waitFor([&] { return showsScreen(session); })) << signal;
    session.signal(install.player, signal);
    ASSERT_TRUE(TerminalSession::waitFor([&] { return session.ended(); })) << signal;
    EXPECT_NE(session.file("status"), "0\n") << signal;  // ended by the signal
    EXPECT_EQ(session.file("after"), session.file("before")) << signal;
  }
}

TEST(PlayerInTerminal, StoppedItGivesTheTerminalBackAndContinuedTakesKeysAgain) {
  for (bool byKey : {false, true}) {
    Install install;
    TerminalSession session(install.dir.path(), install.command());
    ASSERT_TRUE(TerminalSession::waitFor([&] { return showsScreen(session); }));
    const std::string before = session.file("before");
    // Playing, the terminal reads keys raw.
    EXPECT_NE(session.settings(), before);
    if (byKey) {
      session.sendKeys("C-z");  // the terminal's suspend key
    } else {
      session.signal(install.player, "TSTP");
    }
    EXPECT_TRUE(TerminalSession::waitFor([&] { return session.settings() == before; }))
        << (byKey ? "Ctrl-Z" : "SIGTSTP");
    EXPECT_FALSE(session.ended());
    session.signal(install.player, "CONT");
    EXPECT_TRUE(TerminalSession::waitFor([&] { return session.settings() != before; }));
    // One key, no Enter, ends it again.
    session.sendKeys("x");
    ASSERT_TRUE(TerminalSession::waitFor([&] { return session.ended(); }, 2s));
    EXPECT_EQ(session.file("status"), "0\n");
    EXPECT_EQ(session.file("after"), before);
  }
}

TEST(PlayerInTerminal, AKeyEndsItEvenWhenItsOutputIsStuck) {
  // Nobody reads the pipe: the audio thread blocks writing the screen.
  Install install;
  TerminalSession session(install.dir.path(),
                          "(" + install.command() + "; echo $? > player) | sleep 600");
  // Some 5 s of screens fill the pipe; then a thread of the player waits
  // in the kernel to write to it.
  auto blocked = [&] {
    return run("for p in $(pgrep -f " + shellQuote("^" + install.player) +
               "); do cat /proc/$p/task/*/wchan; done")
               .out.find("pipe_write") != std::string::npos;
  };
  ASSERT_TRUE(TerminalSession::waitFor(blocked, 15s));
  session.sendKeys("q");
  auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(TerminalSession::waitFor([&] { return !session.file("player").empty(); }, 3s));
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
  EXPECT_EQ(session.file("player"), "0\n");
  EXPECT_EQ(session.settings(), session.file("before"));
}

TEST(PlayerInTerminal, NoByteFromTheFilesDrivesTheTerminal) {
  Song song = exampleSong(
      "\x1b]2;owned\x07\x1b[2J\x9b"
      "1m");
  song.cells[3][0] = {6, 186};  // the letter of instrument 186 is ESC
  Install install(song);
  TerminalSession session(install.dir.path(), install.command());
  ASSERT_TRUE(TerminalSession::waitFor([&] { return showsScreen(session); }));
  std::string screen = session.capture();
  EXPECT_NE(screen.find("Title:      ?]2;owned??[2J?1m\n"), std::string::npos) << screen;
  EXPECT_NE(screen.find("|-+--?+"), std::string::npos) << screen;
  session.sendKeys("q");
  ASSERT_TRUE(TerminalSession::waitFor([&] { return session.ended(); }));
}

}  // namespace
}  // namespace zorvik
