// The player program as a user starts it: command line, start-up errors and
// where it finds its banks.

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "testing/fixtures.hpp"
#include "testing/run.hpp"

namespace zorvik {
namespace {

using fixtures::run;
using fixtures::shellQuote;
namespace fs = std::filesystem;

const std::string kPlayer = ZORVIKPLA_PATH;

// A folder holding a copy of the player under `name`, with an instruments/
// folder holding the given banks.
struct Install {
  fixtures::TempDir dir;
  std::string player;
  Install(const std::string& name,
          std::initializer_list<std::pair<const char*, std::vector<std::uint8_t>>> banks) {
    fs::create_directories(dir / "bin" / "instruments");
    player = (dir / "bin" / name).string();
    fs::copy_file(kPlayer, player);
    for (const auto& [file, bytes] : banks)
      fixtures::writeFile(dir / "bin" / "instruments" / file, bytes);
  }
};

std::string songPath(const fixtures::TempDir& dir, const Song& song) {
  auto path = dir / "song.zvo";
  fixtures::writeFile(path, fixtures::songFile(song));
  return path.string();
}

TEST(PlayerProgram, WrongArgumentCountPrintsUsage) {
  for (const char* args : {"", " a b", " a b c"}) {
    auto r = run(shellQuote(kPlayer) + args);
    EXPECT_EQ(r.status, 0) << args;
    EXPECT_EQ(r.out, "Syntax: zorvikpla.exe <filename>\n") << args;
  }
}

TEST(PlayerProgram, HelpAndVersionUnlessAFileHasThatName) {
  fixtures::TempDir dir;
  for (const char* option : {"--help", "-h", "--version"}) {
    auto r =
        run("cd " + shellQuote(dir.path().string()) + " && " + shellQuote(kPlayer) + " " + option);
    EXPECT_EQ(r.status, 0) << option;
    EXPECT_EQ(r.err, "") << option;
    if (std::string(option) == "--version") {
      EXPECT_EQ(r.out, "zorvikpla 1.1.0\n");
    } else {
      EXPECT_EQ(r.out.rfind("Syntax: zorvikpla.exe <filename>\n\nPlays a Zorvik song", 0), 0u)
          << r.out;
      EXPECT_NE(r.out.find("instruments/"), std::string::npos);
    }
    // A file of that name is a song to play (here not a valid one).
    fixtures::writeFile(dir / option, std::vector<std::uint8_t>{'n', 'o'});
    r = run("cd " + shellQuote(dir.path().string()) + " && " + shellQuote(kPlayer) + " " + option,
            "k");
    EXPECT_EQ(r.status, 1) << option;
    EXPECT_EQ(r.out, "Error: not a valid .zvo file\npress any key to quit\n") << option;
  }
}

TEST(PlayerProgram, LoadErrorsAreReportedAndEndWithStatus1) {
  auto bank = fixtures::bankFile(fixtures::countingSamples(10), "Drums", "Anon");
  auto badBank = bank;
  badBank[20 + 80] = 8;  // descriptor 1 says 8 bits per value
  Install install("zorvikpla", {{"drums.zvi", bank}, {"eight.zvi", badBank}});
  fixtures::TempDir songs;
  fixtures::writeFile(songs / "junk.zvo", std::vector<std::uint8_t>{'j', 'u', 'n', 'k'});
  struct Case {
    std::string song;
    std::string message;
  } cases[] = {
      {(songs / "missing.zvo").string(), "file not found"},
      {songs.path().string(), "file not found"},
      {(songs / "junk.zvo").string(), "not a valid .zvo file"},
      {songPath(songs, fixtures::emptySong(1, "", "", "nothing.zvi")), "error loading file"},
  };
  for (const auto& c : cases) {
    auto r = run(shellQuote(install.player) + " " + shellQuote(c.song), "k");
    EXPECT_EQ(r.status, 1) << c.song;
    EXPECT_EQ(r.out, "Error: " + c.message + "\npress any key to quit\n") << c.song;
  }
  auto r = run(shellQuote(install.player) + " " +
               shellQuote(songPath(songs, fixtures::emptySong(1, "", "", "eight.zvi"))));
  EXPECT_EQ(r.status, 1);  // end of input counts as the key
  EXPECT_EQ(r.out, "Error: only 16 bit samples supported at the moment\npress any key to quit\n");
}

TEST(PlayerProgram, FindsInstrumentsBesideItselfByAnyNameFromAnywhere) {
  // No default bank, only the one the song names: found only if the player
  // looks in the instruments/ folder beside its own executable.
  Install install("my player", {{"drums.zvi", fixtures::bankFile(fixtures::countingSamples(10))}});
  fixtures::TempDir songs;
  std::string song = songPath(songs, fixtures::emptySong(255, "Found", "", "drums.zvi"));
  for (const std::string& how :
       {shellQuote(install.player), "cd / && " + shellQuote(install.player),
        "cd " + shellQuote((install.dir / "bin").string()) + " && PATH=.:$PATH " +
            shellQuote("my player")}) {
    auto r = run("SDL_AUDIODRIVER=dummy " + how + " " + shellQuote(song) + "; echo status $?");
    EXPECT_EQ(r.out.find("Error"), std::string::npos) << how << "\n" << r.out;
    EXPECT_NE(r.out.find("status 0"), std::string::npos) << how << "\n" << r.out << r.err;
  }
}

TEST(PlayerProgram, AsksSdlForTheExactFormatAndFeedsItTheExactStream) {
  // Through a stand-in for SDL that records the request and the callback's
  // buffers, as a sound card would receive them.
  std::mt19937 rng(3);
  Song song = fixtures::randomSong(rng);
  song.tempo = 200;
  song.bankName = makeTextField("drums.zvi");
  fixtures::SampleSet samples;
  for (auto& s : samples) {
    s.resize(1000 + rng() % 3000);
    for (auto& v : s) v = static_cast<std::int16_t>(rng());
  }
  Install install("zorvikpla", {{"drums.zvi", fixtures::bankFile(samples)}});
  fixtures::TempDir dir;
  std::string songFile = songPath(dir, song);
  auto r = run("(sleep 2; echo q) | LD_LIBRARY_PATH=" + shellQuote(ZORVIK_SDL_STANDIN) +
               " ZORVIK_SDL_SPEC=" + shellQuote((dir / "spec").string()) +
               " ZORVIK_SDL_RECORD=" + shellQuote((dir / "sound").string()) +
               " ZORVIK_SDL_PACE=fast ZORVIK_SDL_BUFFERS=40 " + shellQuote(install.player) + " " +
               shellQuote(songFile) + " > /dev/null");
  ASSERT_EQ(r.status, 0) << r.err;
  // 32004 Hz, signed 16-bit little-endian, mono, 4096 samples, and no
  // obtained format: SDL converts to whatever the device takes.
  auto spec = fixtures::readFile(dir / "spec");
  EXPECT_EQ(std::string(spec.begin(), spec.end()), "32004 0x8010 1 4096 null\n");
  auto sound = fixtures::readRecording(dir / "sound");
  ASSERT_EQ(sound.size(), 40u * 4096);
  auto expected = fixtures::streamOf(song, samples, sound.size());
  for (std::size_t i = 0; i < sound.size(); ++i) ASSERT_EQ(sound[i], expected[i]) << i;
}

TEST(PlayerProgram, EachScreenReachesAFileAsItIsDrawn) {
  // Not a terminal: the exact bytes, each line flushed, so whoever reads
  // the file sees a screen as soon as it is drawn. The sound card's
  // stand-in asks for one buffer only, which ends one step: one screen,
  // and then the player waits for its key.
  Install install("zorvikpla", {{"default.zvi", fixtures::bankFile(fixtures::countingSamples(9))}});
  fixtures::TempDir dir;
  std::string song = songPath(dir, fixtures::emptySong(255));
  auto r = run("cd " + shellQuote(dir.path().string()) + " && ((sleep 3; echo q) | " +
               "LD_LIBRARY_PATH=" + shellQuote(ZORVIK_SDL_STANDIN) + " ZORVIK_SDL_BUFFERS=1 " +
               shellQuote(install.player) + " song.zvo > out &) ; sleep 1.5; wc -l < out");
  EXPECT_EQ(r.out, "21\n");
}

TEST(PlayerProgram, MissingInstrumentsFolder) {
  fixtures::TempDir dir;
  fs::copy_file(kPlayer, dir / "zorvikpla");
  std::string song = songPath(dir, fixtures::emptySong());
  auto r = run(shellQuote((dir / "zorvikpla").string()) + " " + shellQuote(song));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "Error: error loading file\npress any key to quit\n");
}

}  // namespace
}  // namespace zorvik
