// zorvik play as a person uses it: in a terminal (tmux), with SDL's silent
// audio driver or a stand-in for SDL that records what the sound card gets.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <thread>

#include "engine/sequencer.hpp"
#include "formats/song_text.hpp"
#include "testing/fixtures.hpp"
#include "testing/run.hpp"
#include "testing/terminal_session.hpp"
#include "tools/tool_test.hpp"

namespace zorvik {
namespace {

using fixtures::run;
using fixtures::shellQuote;
using fixtures::TerminalSession;
using tool_test::kZorvik;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

// A folder of songs and banks, and a bank path holding the default bank.
struct Folder {
  fixtures::TempDir dir;
  fixtures::SampleSet samples = fixtures::countingSamples(2000);

  Folder() {
    fs::create_directories(dir / "banks");
    fixtures::writeFile(dir / "banks" / "default.zvi",
                        fixtures::bankFile(samples, "Fallback", "Anon"));
  }
  Song song(const std::string& name, std::string_view title, std::string_view bank = "default.zvi",
            std::uint8_t tempo = 255) {
    Song s = fixtures::emptySong(tempo, title, "Tester", bank);
    for (int step = 0; step < kSteps; step += 3) s.cells[step][step % 3] = {3, 1};
    fixtures::writeFile(dir / name, fixtures::songFile(s));
    return s;
  }
  // For play(): no sound device at all.
  static constexpr const char* kNoDevice = "no device";
  // The command line, from the folder, with the bank path set.
  std::string play(const std::string& args, const std::string& sdl = "") const {
    std::string env = "ZORVIK_BANK_PATH=" + shellQuote((dir / "banks").string()) +
                      " XDG_DATA_HOME=/nonexistent XDG_DATA_DIRS=/nonexistent ";
    if (sdl.empty()) {
      env += "SDL_AUDIODRIVER=dummy ";
    } else if (sdl == kNoDevice) {
      env += "SDL_AUDIODRIVER=nosuchdriver ";
    } else {
      env += "LD_LIBRARY_PATH=" + shellQuote(ZORVIK_SDL_STANDIN) + " " + sdl + " ";
    }
    return env + shellQuote(kZorvik) + " play " + args;
  }
};

// The step the playhead stands on, or -1 when no full screen is shown.
int playhead(const std::string& screen) {
  auto l = lines(screen);
  if (l.size() < 9 || l[0] != "Zorvik Player v1.0") return -1;
  std::size_t at = l[6].find('@');
  if (at == std::string::npos || at < 2) return -1;
  return static_cast<int>(at) - 2 + (l[8].starts_with("<") ? 48 : 0);
}

bool shows(TerminalSession& session, const std::string& text) {
  return session.capture().find(text) != std::string::npos;
}

TEST(Play, PauseFreezesThePlayheadAndResumeMovesIt) {
  Folder f;
  f.song("a.zvo", "Paused");
  TerminalSession session(f.dir.path(), f.play("a.zvo 2> err"));
  ASSERT_TRUE(TerminalSession::waitFor([&] { return playhead(session.capture()) >= 0; }))
      << session.capture();
  session.sendKeys("Space");
  ASSERT_TRUE(TerminalSession::waitFor([&] { return shows(session, "| paused"); }));
  // Once what the device held has played, the playhead stands still: the
  // same step over some 8 steps' time.
  int stopped = -1;
  ASSERT_TRUE(TerminalSession::waitFor([&] {
    stopped = playhead(session.capture());
    std::this_thread::sleep_for(600ms);
    return playhead(session.capture()) == stopped;
  }));
  session.sendKeys("Space");
  EXPECT_TRUE(TerminalSession::waitFor(
      [&] { return !shows(session, "paused") && playhead(session.capture()) != stopped; }, 2s));
  session.sendKeys("q");
  ASSERT_TRUE(TerminalSession::waitFor([&] { return session.ended(); }));
  EXPECT_EQ(session.file("status"), "0\n");
  EXPECT_EQ(session.file("err"), "");
}

TEST(Play, NextAndPreviousSongAndTheEndOfAPlaylist) {
  Folder f;
  f.song("a.zvo", "First Song");
  f.song("b.zvo", "Second Song");
  TerminalSession session(f.dir.path(), f.play("--loops 5 a.zvo b.zvo"));
  ASSERT_TRUE(TerminalSession::waitFor([&] { return shows(session, "Title:      First Song"); }));
  EXPECT_TRUE(shows(session, "song 1/2 | loop 1 |"));
  session.sendKeys("n");
  ASSERT_TRUE(TerminalSession::waitFor([&] { return shows(session, "Title:      Second Song"); }));
  EXPECT_TRUE(shows(session, "song 2/2 | loop 1 |"));
  session.sendKeys("p");
  ASSERT_TRUE(TerminalSession::waitFor([&] { return shows(session, "Title:      First Song"); }));
  session.sendKeys("n");
  session.sendKeys("n");  // past the last song: the end
  ASSERT_TRUE(TerminalSession::waitFor([&] { return session.ended(); }));
  EXPECT_EQ(session.file("status"), "0\n");
}

TEST(Play, TwoSongsOnceEachEndByThemselves) {
  Folder f;
  f.song("a.zvo", "One");
  f.song("b.zvo", "Two");
  // Ten times as fast as a sound card: 2 x 7 s in 1.4 s.
  TerminalSession session(f.dir.path(), f.play("--loops 1 a.zvo b.zvo", "ZORVIK_SDL_PACE=10"));
  ASSERT_TRUE(TerminalSession::waitFor([&] { return session.ended(); }, 8s)) << session.capture();
  EXPECT_EQ(session.file("status"), "0\n");
}

TEST(Play, FindsTheBankBesideTheSongOrSaysItPlaysTheDefault) {
  Folder f;
  fs::create_directories(f.dir / "songs");
  fixtures::writeFile(f.dir / "songs" / "mine.zvi", fixtures::bankFile(f.samples, "Mine", "Me"));
  f.song("songs/a.zvo", "Own Bank", "mine.zvi");
  f.song("songs/b.zvo", "No Bank", "nothing.zvi");
  TerminalSession session(f.dir.path(), f.play("songs/a.zvo songs/b.zvo"));
  ASSERT_TRUE(TerminalSession::waitFor([&] { return shows(session, "Title:      Own Bank"); }));
  EXPECT_TRUE(shows(session, "Samplebank: Mine by Me")) << session.capture();
  session.sendKeys("n");
  ASSERT_TRUE(TerminalSession::waitFor([&] { return shows(session, "Title:      No Bank"); }));
  EXPECT_TRUE(shows(session, "Samplebank: Fallback by Anon")) << session.capture();
  EXPECT_TRUE(shows(session, "bank nothing.zvi not found: playing the default bank"));
  session.sendKeys("q");
  ASSERT_TRUE(TerminalSession::waitFor([&] { return session.ended(); }));
}

TEST(Play, WatchPicksUpAnEditedSongWithinASecond) {
  Folder f;
  Song song = f.song("a.zvo", "Before");
  auto write = [&](const std::string& text) {
    fixtures::writeFile(f.dir / "edit.txt", std::vector<std::uint8_t>(text.begin(), text.end()));
    fs::rename(f.dir / "edit.txt", f.dir / "song.txt");  // as editors save
  };
  write(decompileSong(song, {true}));
  TerminalSession session(f.dir.path(), f.play("--watch song.txt"));
  ASSERT_TRUE(TerminalSession::waitFor([&] { return shows(session, "Title:      Before"); }));
  song.title = makeTextField("After");
  write(decompileSong(song, {true}));
  EXPECT_TRUE(TerminalSession::waitFor([&] { return shows(session, "Title:      After"); }, 1s));
  // A text that no longer compiles: its error, and the last good one plays on.
  write("title \"Broken\"\ntempo 999\n");
  EXPECT_TRUE(TerminalSession::waitFor(
      [&] { return shows(session, "line 2, column 7: expected a tempo from 0 to 255"); }, 1s))
      << session.capture();
  EXPECT_TRUE(shows(session, "Title:      After"));
  session.sendKeys("q");
  ASSERT_TRUE(TerminalSession::waitFor([&] { return session.ended(); }));
}

TEST(Play, WatchReadsOnlyAFileThatHasStoppedChanging) {
  // An editor that writes in place, in parts some ms apart: the header
  // first, then the steps. A half-written song (a header and no notes)
  // must never play, and the whole one plays within a quarter second.
  Folder f;
  auto version = [&](int n) {
    Song song = fixtures::emptySong(255, "Version " + std::to_string(n), "Tester");
    for (auto& step : song.cells) step[0] = {3, 1};  // every step a note
    return decompileSong(song);
  };
  auto writeInParts = [&](const std::string& text) {
    const std::size_t header = text.find("\n\n") + 1;
    FILE* file = std::fopen((f.dir / "song.txt").c_str(), "w");
    ASSERT_NE(file, nullptr);
    std::fwrite(text.data(), 1, header, file);
    std::fflush(file);
    std::this_thread::sleep_for(35ms);
    std::fwrite(text.data() + header, 1, text.size() - header, file);
    std::fclose(file);
  };
  const std::string first = version(0);
  fixtures::writeFile(f.dir / "song.txt", std::vector<std::uint8_t>(first.begin(), first.end()));
  TerminalSession s(f.dir.path(), f.play("--watch song.txt"), 40, 12);
  ASSERT_TRUE(TerminalSession::waitFor([&] { return shows(s, "Version 0 by"); }));
  for (int n = 1; n <= 10; ++n) {
    writeInParts(version(n));
    const auto saved = std::chrono::steady_clock::now();
    const std::string title = "Version " + std::to_string(n) + " by";
    bool seen = false;
    while (std::chrono::steady_clock::now() - saved < 400ms) {
      const std::string screen = s.capture();
      if (screen.find(title) != std::string::npos) {
        seen = true;
        EXPECT_NE(screen.find("1 D4b"), std::string::npos) << "a half-written song plays:\n"
                                                           << screen;
      }
      std::this_thread::sleep_for(5ms);
    }
    EXPECT_TRUE(seen) << "version " << n << " never played";
    EXPECT_TRUE(TerminalSession::waitFor([&] { return shows(s, title); }, 250ms));
  }
  s.sendKeys("q");
  ASSERT_TRUE(TerminalSession::waitFor([&] { return s.ended(); }));
}

TEST(Play, WatchFindsABankThatAppearsAndASongWhoseFolderComesBack) {
  Folder f;
  fs::create_directories(f.dir / "songs");
  Song song = f.song("songs/a.zvo", "Watched", "mine.zvi");
  TerminalSession s(f.dir.path(), f.play("--watch songs/a.zvo"));
  ASSERT_TRUE(TerminalSession::waitFor([&] { return shows(s, "bank mine.zvi not found"); }));
  // The bank appears beside the song: it plays.
  fixtures::writeFile(f.dir / "songs" / "mine.zvi", fixtures::bankFile(f.samples, "Mine", "Me"));
  EXPECT_TRUE(TerminalSession::waitFor([&] { return shows(s, "Samplebank: Mine by Me"); }, 2s))
      << s.capture();
  EXPECT_FALSE(shows(s, "not found"));
  // Moved away and back.
  fs::rename(f.dir / "songs" / "mine.zvi", f.dir / "mine.zvi");
  EXPECT_TRUE(TerminalSession::waitFor([&] { return shows(s, "bank mine.zvi not found"); }, 2s));
  fs::rename(f.dir / "mine.zvi", f.dir / "songs" / "mine.zvi");
  EXPECT_TRUE(TerminalSession::waitFor([&] { return shows(s, "Samplebank: Mine by Me"); }, 2s));
  // The song's folder removed: said so, and the song plays on.
  fs::remove_all(f.dir / "songs");
  EXPECT_TRUE(TerminalSession::waitFor([&] { return shows(s, "songs/a.zvo is gone"); }, 2s))
      << s.capture();
  EXPECT_TRUE(shows(s, "Title:      Watched"));
  // And made again, with a new version: found again.
  fs::create_directories(f.dir / "songs");
  fixtures::writeFile(f.dir / "songs" / "mine.zvi", fixtures::bankFile(f.samples, "Mine", "Me"));
  song.title = makeTextField("Back Again");
  fixtures::writeFile(f.dir / "songs" / "a.zvo", fixtures::songFile(song));
  EXPECT_TRUE(TerminalSession::waitFor([&] { return shows(s, "Title:      Back Again"); }, 2s))
      << s.capture();
  EXPECT_FALSE(shows(s, "is gone"));
  s.sendKeys("q");
  ASSERT_TRUE(TerminalSession::waitFor([&] { return s.ended(); }));
}

TEST(Play, WatchReadsABankAgainOnlyWhenTheBankChanged) {
  // A large bank and a song saved twenty times a second: the bank is read
  // once, and again only when it changes, so memory stays near one copy.
  Folder f;
  fixtures::SampleSet samples;
  for (auto& s : samples) s.assign(1'500'000, 1000);  // 48 MB in all
  fixtures::writeFile(f.dir / "big.zvi", fixtures::bankFile(samples, "Big", "Me"));
  Song song = f.song("a.zvo", "Saved", "big.zvi");
  const std::string path = (f.dir / "a.zvo").string();
  TerminalSession s(f.dir.path(), f.play("--watch " + shellQuote(path)));
  ASSERT_TRUE(TerminalSession::waitFor([&] { return shows(s, "Samplebank: Big by Me"); }));
  auto peak = [&] {
    auto r = run("grep VmHWM /proc/$(pgrep -n -f " +
                 shellQuote("^" + kZorvik + " play --watch " + path) + ")/status | tr -dc 0-9");
    return std::stoll("0" + r.out) * 1024;
  };
  const long long bank = 48'000'000;
  for (int n = 0; n < 20; ++n) {
    song.title = makeTextField("Saved " + std::to_string(n));
    fixtures::writeFile(f.dir / "edit.zvo", fixtures::songFile(song));
    fs::rename(f.dir / "edit.zvo", f.dir / "a.zvo");
    std::this_thread::sleep_for(50ms);
  }
  EXPECT_TRUE(TerminalSession::waitFor([&] { return shows(s, "Title:      Saved 19"); }, 2s));
  EXPECT_LT(peak(), bank * 3 / 2) << "the bank was read again";
  // A changed bank is read: for a moment there are two.
  fixtures::writeFile(f.dir / "big2.zvi", fixtures::bankFile(samples, "Bigger", "Me"));
  fs::rename(f.dir / "big2.zvi", f.dir / "big.zvi");
  EXPECT_TRUE(TerminalSession::waitFor([&] { return shows(s, "Samplebank: Bigger by Me"); }, 3s));
  EXPECT_LT(peak(), bank * 5 / 2);
  s.sendKeys("q");
  ASSERT_TRUE(TerminalSession::waitFor([&] { return s.ended(); }));
}

TEST(Play, NextDuringASaveStormIsNotUndone) {
  Folder f;
  Song a = f.song("a.zvo", "Stormy");
  f.song("b.zvo", "Calm");
  TerminalSession s(f.dir.path(), f.play("--watch --loops 5 a.zvo b.zvo"));
  ASSERT_TRUE(TerminalSession::waitFor([&] { return shows(s, "Title:      Stormy"); }));
  std::atomic<bool> stop{false};
  std::thread storm([&] {
    for (int n = 0; !stop.load(); ++n) {
      a.tempo = static_cast<std::uint8_t>(250 + n % 5);
      fixtures::writeFile(f.dir / "edit.zvo", fixtures::songFile(a));
      fs::rename(f.dir / "edit.zvo", f.dir / "a.zvo");
      std::this_thread::sleep_for(15ms);
    }
  });
  std::this_thread::sleep_for(300ms);
  s.sendKeys("n");
  bool calm = TerminalSession::waitFor([&] { return shows(s, "Title:      Calm"); }, 2s);
  // And it stays: the song that changes is not reloaded over it.
  bool stayed =
      calm && !TerminalSession::waitFor([&] { return shows(s, "Title:      Stormy"); }, 1s);
  stop.store(true);
  storm.join();
  EXPECT_TRUE(calm);
  EXPECT_TRUE(stayed) << s.capture();
  s.sendKeys("q");
  ASSERT_TRUE(TerminalSession::waitFor([&] { return s.ended(); }));
}

TEST(Play, ASmallTerminalGetsTheCompactView) {
  Folder f;
  f.song("a.zvo", "Compact");
  TerminalSession session(f.dir.path(), f.play("a.zvo"), 40, 12);
  ASSERT_TRUE(TerminalSession::waitFor([&] { return shows(session, "Compact by Tester"); }));
  auto l = lines(session.capture());
  ASSERT_GE(l.size(), 5u);
  EXPECT_EQ(l[0], "Compact by Tester");
  EXPECT_TRUE(l[1].starts_with("step ")) << l[1];
  EXPECT_TRUE(l[2].starts_with("1 ")) << l[2];
  EXPECT_TRUE(l[3].starts_with("song 1/1 | loop 1 | 0:0")) << l[3];
  EXPECT_EQ(l[4], "? shows the keys");
  for (std::size_t i = 5; i < l.size(); ++i) EXPECT_EQ(l[i], "") << i;  // nothing wrapped
  session.sendKeys("q");
  ASSERT_TRUE(TerminalSession::waitFor([&] { return session.ended(); }));
}

TEST(Play, TheTerminalComesBackAsItWas) {
  Folder f;
  f.song("a.zvo", "Alternate");
  TerminalSession session(f.dir.path(),
                          "printf 'before\\nthe player\\n'; sleep 1; " + f.play("a.zvo"));
  ASSERT_TRUE(TerminalSession::waitFor([&] { return shows(session, "the player"); }));
  const std::string before = session.capture();
  ASSERT_TRUE(TerminalSession::waitFor([&] { return shows(session, "Title:      Alternate"); }));
  std::this_thread::sleep_for(1s);
  session.sendKeys("q");
  ASSERT_TRUE(TerminalSession::waitFor([&] { return session.ended(); }));
  EXPECT_EQ(session.capture(), before);
  EXPECT_EQ(session.historySize(), 0);
  EXPECT_TRUE(session.cursorVisible());
  EXPECT_EQ(session.file("after"), session.file("before"));
  // And after a stop (Ctrl-Z) and a continue; then signals. (The song by
  // its whole path: the signals go to this test's player only.)
  const std::string song = (f.dir / "a.zvo").string();
  const std::string player = kZorvik + " play " + song;
  {
    TerminalSession s(f.dir.path(), "printf 'kept\\n'; " + f.play(shellQuote(song)));
    ASSERT_TRUE(TerminalSession::waitFor([&] { return shows(s, "Title:      Alternate"); }));
    s.sendKeys("C-z");
    ASSERT_TRUE(TerminalSession::waitFor([&] { return !shows(s, "Title:"); }));
    EXPECT_EQ(lines(s.capture()).at(0), "kept");
    EXPECT_EQ(s.settings(), s.file("before"));
    s.signal(player, "CONT");
    EXPECT_TRUE(TerminalSession::waitFor([&] { return shows(s, "Title:      Alternate"); }));
    s.sendKeys("q");  // raw keys again
    ASSERT_TRUE(TerminalSession::waitFor([&] { return s.ended(); }));
    EXPECT_EQ(s.file("status"), "0\n");
    EXPECT_EQ(s.file("after"), s.file("before"));
  }
  for (const char* signal : {"TERM", "INT", "HUP", "QUIT", "PIPE", "USR1", "ALRM"}) {
    TerminalSession s(f.dir.path(), "printf 'kept\\n'; " + f.play(shellQuote(song)));
    ASSERT_TRUE(TerminalSession::waitFor([&] { return shows(s, "Title:      Alternate"); }));
    s.signal(player, signal);
    ASSERT_TRUE(TerminalSession::waitFor([&] { return s.ended(); })) << signal;
    EXPECT_EQ(lines(s.capture()).at(0), "kept") << signal;
    EXPECT_EQ(s.file("after"), s.file("before")) << signal;
    EXPECT_TRUE(s.cursorVisible()) << signal;
  }
}

TEST(Play, CtrlSFreezesNothingAndSignalsStillEndIt) {
  // Flow control off: Ctrl-S is a key like any other, the screen goes on,
  // q still quits; and a signal after it ends the program at once.
  Folder f;
  f.song("a.zvo", "Flow");
  const std::string song = (f.dir / "a.zvo").string();
  for (const char* end : {"q", "TERM"}) {
    TerminalSession s(f.dir.path(), f.play(shellQuote(song)));
    ASSERT_TRUE(TerminalSession::waitFor([&] { return playhead(s.capture()) >= 0; }));
    s.sendKeys("C-s");
    const int before = playhead(s.capture());
    EXPECT_TRUE(TerminalSession::waitFor([&] { return playhead(s.capture()) != before; }, 2s))
        << "the screen froze";
    if (std::string(end) == "q") {
      s.sendKeys("q");
    } else {
      s.signal(std::string(kZorvik).append(" play ").append(song), end);
    }
    ASSERT_TRUE(TerminalSession::waitFor([&] { return s.ended(); }, 3s)) << end;
    EXPECT_EQ(s.file("after"), s.file("before"));
  }
}

TEST(Play, HoweverSmallTheTerminalTheStatusStaysAndNothingScrolls) {
  Folder f;
  f.song("a.zvo", "Tiny");
  struct Size {
    int columns, lines;
    std::string shown;  // on the first line
  } sizes[] = {{80, 5, "Tiny by Tester"},
               {80, 2, "song 1/1 | loop 1 |"},
               {80, 1, "step "},
               {20, 1, "step "},
               {1, 1, "s"}};
  for (const Size& size : sizes) {
    TerminalSession s(f.dir.path(), f.play("a.zvo"), size.columns, size.lines);
    ASSERT_TRUE(TerminalSession::waitFor([&] {
      return !lines(s.capture()).empty() && lines(s.capture())[0].starts_with(size.shown);
    })) << size.columns
        << "x" << size.lines << ": " << s.capture();
    if (size.lines == 1 && size.columns >= 20) {
      EXPECT_NE(s.capture().find("| song 1/1"), std::string::npos) << s.capture();
    }
    std::this_thread::sleep_for(700ms);  // some ten steps, each drawn
    EXPECT_EQ(s.historySize(), 0) << size.columns << "x" << size.lines;
    s.sendKeys("q");
    ASSERT_TRUE(TerminalSession::waitFor([&] { return s.ended(); }));
  }
}

TEST(Play, ATerminalThatTakesNoControlSequencesGetsNone) {
  Folder f;
  f.song("a.zvo", "Plain");
  for (const char* term : {"dumb", "", "no-such-terminal"}) {
    fixtures::TempDir out;
    TerminalSession s(f.dir.path(), "sleep 0.5; TERM=" + shellQuote(term) + " " +
                                        f.play("--loops 1 a.zvo", "ZORVIK_SDL_PACE=20"));
    s.record(out / "bytes");
    ASSERT_TRUE(TerminalSession::waitFor([&] { return s.ended(); })) << term;
    EXPECT_EQ(s.file("status"), "0\n");
    const std::string bytes = fixtures::readText(out / "bytes");
    EXPECT_NE(bytes.find("Playing: Plain by Tester"), std::string::npos) << term << ": " << bytes;
    EXPECT_EQ(bytes.find('\x1b'), std::string::npos) << term;
  }
}

TEST(Play, TheStatusLineSaysTheLengthTheBoundsAndWhenThereIsNoSound) {
  Folder f;
  f.song("a.zvo", "Status");
  // No device at all: the warning stays in the status line.
  TerminalSession s(f.dir.path(), f.play("a.zvo 2> err", Folder::kNoDevice));
  ASSERT_TRUE(TerminalSession::waitFor([&] { return shows(s, "Title:      Status"); }));
  EXPECT_TRUE(shows(s, "no sound device: playing silently")) << s.capture();
  // One loop of 96 steps at tempo 255 lasts 7 s.
  EXPECT_TRUE(shows(s, " / 0:07")) << s.capture();
  s.sendKeys("?");
  EXPECT_TRUE(TerminalSession::waitFor([&] { return shows(s, "space pause q quit"); }));
  s.sendKeys("?");
  EXPECT_TRUE(TerminalSession::waitFor([&] { return shows(s, "no sound device"); }));
  for (int i = 0; i < 25; ++i) s.sendKeys("+");
  EXPECT_TRUE(TerminalSession::waitFor([&] { return shows(s, "| +20 dB (max)"); })) << s.capture();
  s.sendKeys("q");
  ASSERT_TRUE(TerminalSession::waitFor([&] { return s.ended(); }));
}

TEST(Play, PreviousOnTheFirstSongStartsItAgain) {
  Folder f;
  f.song("a.zvo", "Again");
  TerminalSession s(f.dir.path(), f.play("a.zvo"));
  ASSERT_TRUE(TerminalSession::waitFor([&] { return playhead(s.capture()) >= 12; }));
  s.sendKeys("p");
  EXPECT_TRUE(TerminalSession::waitFor(
      [&] {
        int at = playhead(s.capture());
        return at >= 0 && at < 6;
      },
      2s))
      << s.capture();
  s.sendKeys("q");
  ASSERT_TRUE(TerminalSession::waitFor([&] { return s.ended(); }));
}

TEST(Play, EachErrorIsSaidOnceHoweverOftenItHappens) {
  Folder f;
  f.song("a.zvo", "Loads");
  TerminalSession s(f.dir.path(), f.play("missing.zvo a.zvo 2> err"));
  ASSERT_TRUE(TerminalSession::waitFor([&] { return shows(s, "Title:      Loads"); }));
  for (int i = 0; i < 30; ++i) s.sendKeys("p");
  std::this_thread::sleep_for(300ms);
  s.sendKeys("q");
  ASSERT_TRUE(TerminalSession::waitFor([&] { return s.ended(); }));
  EXPECT_EQ(s.file("err"), "zorvik: cannot read missing.zvo: No such file or directory\n");
}

TEST(Play, TheSoundIsTheExactStreamAndNeverWaitsForOutput) {
  Folder f;
  Song song = f.song("a.zvo", "Exact", "default.zvi", 255);
  // Standard output a pipe that is already full and never read: the main
  // thread blocks on its first line, and the sound goes on all the same.
  fixtures::TempDir out;
  std::string record = (out / "sound").string();
  run("cd " + shellQuote(f.dir.path().string()) + " && ( head -c 65536 /dev/zero; exec env " +
      f.play("--loops 2 " + shellQuote((f.dir / "a.zvo").string()),
             "ZORVIK_SDL_PACE=4 ZORVIK_SDL_RECORD=" + shellQuote(record)) +
      " ) | sleep 12 & echo started");
  const std::size_t loop = 96 * static_cast<std::size_t>(stepLength(255));
  EXPECT_TRUE(TerminalSession::waitFor(
      [&] { return fs::exists(record) && fs::file_size(record) >= 4 * loop + 8192; }, 10s));
  run("pkill -f " + shellQuote("^" + kZorvik + " play --loops 2 " + (f.dir / "a.zvo").string()));
  auto heard = fixtures::readRecording(record);
  ASSERT_GE(heard.size(), 2 * loop);
  auto expected = fixtures::streamOf(song, f.samples, 2 * loop);
  for (std::size_t i = 0; i < 2 * loop; ++i) ASSERT_EQ(heard[i], expected[i]) << i;
  // Quiet, not on a terminal: nothing but the sound.
  auto r = run("cd " + shellQuote(f.dir.path().string()) + " && " +
               f.play("-q a.zvo", "ZORVIK_SDL_PACE=20"));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "");
  r = run("cd " + shellQuote(f.dir.path().string()) + " && " +
          f.play("a.zvo missing.zvo", "ZORVIK_SDL_PACE=20"));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "Playing: Exact by Tester, bank Fallback\n");
  EXPECT_EQ(r.err, "zorvik: cannot read missing.zvo: No such file or directory\n");
}

TEST(Play, ADeviceThatAsksAtOnceOnABusyMachineNeverGetsSilenceFromASong) {
  // The sound card's stand-in asks for the next buffer as soon as the last
  // is filled, while two busy loops take the machine's time: every run
  // must give the exact stream, never a silent stretch.
  Folder f;
  Song song = f.song("a.zvo", "Busy", "default.zvi", 255);
  const std::size_t loop = 96 * static_cast<std::size_t>(stepLength(255));
  const std::vector<std::int16_t> expected = fixtures::streamOf(song, f.samples, loop);
  struct Busy {
    std::vector<pid_t> pids;
    Busy() {
      for (int i = 0; i < 2; ++i) {
        pid_t pid = ::fork();
        if (pid == 0) {
          ::execl("/bin/sh", "sh", "-c", "while :; do :; done", static_cast<char*>(nullptr));
          ::_exit(127);
        }
        pids.push_back(pid);
      }
    }
    ~Busy() {
      for (pid_t pid : pids) ::kill(pid, SIGKILL);
      for (pid_t pid : pids) ::waitpid(pid, nullptr, 0);
    }
  } busy;
  fixtures::TempDir out;
  const std::string record = (out / "sound").string();
  for (int run = 0; run < 20; ++run) {
    fs::remove(record);
    auto r = fixtures::run("cd " + shellQuote(f.dir.path().string()) + " && " +
                           f.play("--loops 1 -q a.zvo",
                                  "ZORVIK_SDL_PACE=fast ZORVIK_SDL_RECORD=" + shellQuote(record)));
    ASSERT_EQ(r.status, 0) << r.err;
    auto heard = fixtures::readRecording(record);
    ASSERT_GE(heard.size(), loop) << "run " << run;
    heard.resize(loop);
    auto diff = std::mismatch(heard.begin(), heard.end(), expected.begin());
    ASSERT_EQ(diff.first, heard.end())
        << "run " << run << ": first wrong sample " << (diff.first - heard.begin());
  }
}

TEST(Play, ReadsASongFromStandardInputAPipeOrAText) {
  Folder f;
  Song song = f.song("a.zvo", "Piped");
  std::string text = decompileSong(song);
  fixtures::writeFile(f.dir / "a.txt", std::vector<std::uint8_t>(text.begin(), text.end()));
  const std::size_t loop = 96 * static_cast<std::size_t>(stepLength(song.tempo));
  const std::vector<std::int16_t> expected = fixtures::streamOf(song, f.samples, loop);
  // What runs first in the shell, and the song operand.
  struct Way {
    const char* what;
    const char* before;
    const char* args;
  } ways[] = {
      {"song file by name", "", "a.zvo"},
      {"song text by name", "", "a.txt"},
      {"- from a file", "", "- < a.zvo"},
      {"- from a pipe", "cat a.txt | ", "-"},
      {"/dev/stdin", "", "/dev/stdin < a.zvo"},
      {"FIFO", "rm -f fifo && mkfifo fifo && (cat a.txt > fifo &) && ", "fifo"},
  };
  // Ten times the pace of a sound card.
  fixtures::TempDir out;
  const std::string record = (out / "sound").string();
  for (const Way& way : ways) {
    fs::remove(record);
    std::string command =
        way.before + f.play("--loops 1 -q " + std::string(way.args),
                            "ZORVIK_SDL_PACE=10 ZORVIK_SDL_RECORD=" + shellQuote(record));
    auto r = run("cd " + shellQuote(f.dir.path().string()) + " && " + command);
    EXPECT_EQ(r.status, 0) << way.what << ": " << r.err;
    EXPECT_EQ(r.err, "") << way.what;
    auto heard = fixtures::readRecording(record);
    ASSERT_GE(heard.size(), loop) << way.what;
    heard.resize(loop);
    auto diff = std::mismatch(heard.begin(), heard.end(), expected.begin());
    EXPECT_EQ(diff.first, heard.end())
        << way.what << ": sample " << (diff.first - heard.begin()) << " of " << loop;
  }
}

TEST(Play, ASongThatDoesNotLoadIsSaidOnceTheTerminalIsBack) {
  Folder f;
  f.song("a.zvo", "Loads");
  TerminalSession session(f.dir.path(), f.play("missing.zvo a.zvo 2> err"));
  ASSERT_TRUE(TerminalSession::waitFor([&] { return shows(session, "Title:      Loads"); }));
  EXPECT_TRUE(shows(session, "cannot read missing.zvo: No such file or directory"));
  session.sendKeys("q");
  ASSERT_TRUE(TerminalSession::waitFor([&] { return session.ended(); }));
  EXPECT_EQ(session.file("status"), "1\n");
  EXPECT_EQ(session.file("err"), "zorvik: cannot read missing.zvo: No such file or directory\n");
}

}  // namespace
}  // namespace zorvik
