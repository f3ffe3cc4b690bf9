// The C API as a program uses it: through the shared library only.

#include <gtest/gtest.h>
#include <zorvik/zorvik.h>

#include <random>
#include <string>
#include <vector>

#include "display/screen.hpp"
#include "engine/mixer.hpp"
#include "formats/song_text.hpp"
#include "testing/fixtures.hpp"

namespace zorvik {
namespace {

struct Files {
  std::vector<std::uint8_t> song;
  std::vector<std::uint8_t> bank;
};

Files files(const Song& song, const fixtures::SampleSet& samples) {
  return {fixtures::songFile(song), fixtures::bankFile(samples, "Drums", "Anon")};
}

zorvik_player* make(const Files& f, std::string* error = nullptr) {
  char message[128] = "untouched";
  zorvik_player* p = zorvik_player_new(f.song.data(), f.song.size(), f.bank.data(), f.bank.size(),
                                       message, sizeof message);
  if (error) *error = message;
  return p;
}

TEST(Api, Version) { EXPECT_STREQ(zorvik_version(), "1.1.0"); }

TEST(Api, BadFilesAreErrorsWithTheLoadersMessage) {
  Files good = files(fixtures::emptySong(), fixtures::countingSamples(4));
  auto badBank = good.bank;
  badBank[descriptorOffset(3, DescriptorField::SampleRate)] = 0;
  struct Case {
    std::vector<std::uint8_t> song, bank;
    std::string message;
  } cases[] = {
      {{}, good.bank, "not a valid .zvo file"},
      {{'#', '\n'}, good.bank, "line 2, column 1: expected 'title' in the header"},
      {{'z', 'v', 'k', 'o', 0, 0, 0}, good.bank, "not a valid version number"},
      {{'x', 0}, good.bank, "not a valid .zvo file"},
      {good.song, {}, "not a valid .zvi file"},
      {good.song, badBank, "only 32khz samples supported atm"},
  };
  for (const auto& c : cases) {
    std::string error;
    EXPECT_EQ(make({c.song, c.bank}, &error), nullptr) << c.message;
    EXPECT_EQ(error, c.message);
  }
  // A short buffer gets the start of the message, zero-ended; none at all is fine.
  char shortBuffer[5];
  EXPECT_EQ(zorvik_player_new("x", 1, nullptr, 0, shortBuffer, sizeof shortBuffer), nullptr);
  EXPECT_STREQ(shortBuffer, "line");
  EXPECT_EQ(zorvik_player_new(nullptr, 0, nullptr, 0, nullptr, 0), nullptr);
  zorvik_player_free(nullptr);
}

TEST(Api, RendersTheExactStream) {
  std::mt19937 rng(11);
  for (int round = 0; round < 4; ++round) {
    Song song = fixtures::randomSong(rng);
    song.tempo = static_cast<std::uint8_t>(200 + round * 15);
    fixtures::SampleSet samples;
    for (auto& s : samples) {
      s.resize(rng() % 4000);
      for (auto& v : s) v = static_cast<std::int16_t>(rng());
    }
    zorvik_player* p = make(files(song, samples));
    ASSERT_NE(p, nullptr);
    SampleBank bank = fixtures::makeBank(samples);
    Player reference(song.tempo, song, bank);
    const std::size_t total = 96 * static_cast<std::size_t>(stepLength(song.tempo)) + 1000;
    std::vector<std::int16_t> got(total);
    for (std::size_t done = 0; done < total;) {
      std::size_t n = std::min<std::size_t>(total - done, 1 + rng() % 5000);
      ASSERT_EQ(zorvik_player_render(p, got.data() + done, n), n);
      done += n;
      // The step the next sample belongs to.
      EXPECT_EQ(zorvik_player_step(p), static_cast<int>(done / stepLength(song.tempo) % 96));
    }
    for (std::size_t i = 0; i < total; ++i) {
      ASSERT_EQ(got[i], nextSample(reference)) << "round " << round << " sample " << i;
    }
    EXPECT_EQ(zorvik_player_samples_per_step(p), stepLength(song.tempo));
    zorvik_player_free(p);
  }
}

TEST(Api, SeekStartsTheStepAfresh) {
  Song song = fixtures::emptySong(255);
  song.cells[10][0] = {1, 0};
  fixtures::SampleSet samples = fixtures::countingSamples(50);
  zorvik_player* p = make(files(song, samples));
  ASSERT_NE(p, nullptr);
  for (int step : {10, 10 + 96, -86}) {
    zorvik_player_seek(p, step);
    EXPECT_EQ(zorvik_player_step(p), 10);
    std::int16_t first;
    zorvik_player_render(p, &first, 1);
    EXPECT_EQ(first, samples[0][0] / 3);
  }
  zorvik_player_free(p);
}

TEST(Api, ScreenAndTexts) {
  Song song = fixtures::emptySong(100, "Example", "Anon", "drums.zvi");
  song.cells[5][1] = {4, 4};
  zorvik_player* p = make(files(song, fixtures::countingSamples(1)));
  ASSERT_NE(p, nullptr);
  SampleBankHeader header{};
  header.name = makeTextField("Drums");
  header.author = makeTextField("Anon");
  for (int step : {0, 5, 47, 48, 95}) {
    std::string expected;
    for (const auto& line : screenLines(song, header, buildRollPages(song), step)) {
      expected += line + "\n";
    }
    std::vector<char> out(4096);
    ASSERT_EQ(zorvik_player_screen(p, step, out.data(), out.size()), expected.size());
    EXPECT_EQ(std::string(out.data()), expected) << step;
    // Too small: cut and zero-ended, and the length it needs.
    char small[10];
    EXPECT_EQ(zorvik_player_screen(p, step, small, sizeof small), expected.size());
    EXPECT_EQ(std::string(small), expected.substr(0, 9));
  }
  EXPECT_STREQ(zorvik_player_title(p), "Example");
  EXPECT_STREQ(zorvik_player_author(p), "Anon");
  EXPECT_STREQ(zorvik_player_song_bank(p), "drums.zvi");
  EXPECT_STREQ(zorvik_player_bank_name(p), "Drums");
  EXPECT_STREQ(zorvik_player_bank_author(p), "Anon");
  zorvik_player_free(p);

  char bank[64];
  auto bytes = fixtures::songFile(song);
  EXPECT_EQ(zorvik_song_bank(bytes.data(), bytes.size(), bank, sizeof bank), 0);
  EXPECT_STREQ(bank, "drums.zvi");
  std::string text = decompileSong(song);
  EXPECT_EQ(zorvik_song_bank(text.data(), text.size(), bank, sizeof bank), 0);
  EXPECT_STREQ(bank, "drums.zvi");
  EXPECT_EQ(zorvik_song_bank("zvkq", 4, bank, sizeof bank), -1);
  EXPECT_STREQ(bank, "line 1, column 1: expected 'title' before the first step");
}

}  // namespace
}  // namespace zorvik
