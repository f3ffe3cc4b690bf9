// The C API as a program uses it: through the shared library only.

#include <gtest/gtest.h>
#include <zorvik/zorvik.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "display/screen.hpp"
#include "engine/mixer.hpp"
#include "engine/song_midi.hpp"
#include "formats/song_text.hpp"
#include "testing/fixtures.hpp"
#include "testing/midi_reader.hpp"

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
      {{'#', '\n'}, good.bank, "line 1, column 2: expected 'title' in the header"},
      {{'z', 'v', 'k', 'o', 0, 0, 0}, good.bank, "not a valid version number"},
      {{'x', 0, 'y'}, good.bank, "not a valid .zvo file"},
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

TEST(Api, PlaysLoopsMutesAndGainsAsThePlaybackDoes) {
  std::mt19937 rng(13);
  Song song = fixtures::randomSong(rng);
  song.tempo = 250;
  fixtures::SampleSet samples;
  for (auto& s : samples) {
    s.resize(3000);
    for (auto& v : s) v = static_cast<std::int16_t>(rng());
  }
  zorvik_player* p = make(files(song, samples));
  ASSERT_NE(p, nullptr);
  const std::uint64_t loop = zorvik_player_loop_length(p);
  EXPECT_EQ(loop, 96u * static_cast<std::uint64_t>(stepLength(250)));

  // Two loops, then nothing; the rest of the buffer is left alone.
  zorvik_player_set_loops(p, 2);
  std::vector<std::int16_t> out(2 * loop + 10, 7);
  EXPECT_EQ(zorvik_player_render(p, out.data(), out.size()), 2 * loop);
  EXPECT_EQ(zorvik_player_ended(p), 1);
  EXPECT_EQ(out.back(), 7);
  EXPECT_EQ(zorvik_player_render(p, out.data(), 5), 0u);
  EXPECT_EQ(zorvik_player_position(p), 2 * loop);
  EXPECT_EQ(std::vector<std::int16_t>(out.begin(), out.begin() + 2 * static_cast<long>(loop)),
            fixtures::streamOf(song, samples, 2 * loop));

  // Back into the first loop: play goes on, heard as the mask says.
  zorvik_player_seek_to(p, 0, 0, 0);
  EXPECT_EQ(zorvik_player_ended(p), 0);
  zorvik_player_set_heard(p, 0b101);
  EXPECT_EQ(zorvik_player_heard(p), 0b101u);
  EXPECT_EQ(zorvik_player_render(p, out.data(), loop), loop);
  EXPECT_TRUE(std::equal(out.begin(), out.begin() + static_cast<long>(loop),
                         fixtures::streamOf(song, samples, loop, 0b101).begin()));
  EXPECT_EQ(zorvik_player_loop(p), 1u);

  struct Case {
    double gain, held;
  } gains[] = {{12, 12}, {100, 60}, {-100, -60}, {0.0 / 0.0, -60}};
  for (const Case& c : gains) {
    zorvik_player_set_gain(p, c.gain);
    EXPECT_EQ(zorvik_player_gain(p), c.held);
  }
  zorvik_player_set_gain(p, 40);
  zorvik_player_set_heard(p, 7);
  zorvik_player_seek_to(p, 0, 0, 0);
  zorvik_player_render(p, out.data(), loop);
  EXPECT_GT(zorvik_player_limited(p), 0u);

  const std::uint64_t perStep = static_cast<std::uint64_t>(stepLength(250));
  struct At {
    std::uint64_t position;
    int step;
  } steps[] = {{0, 0}, {perStep - 1, 0}, {perStep, 1}, {loop - 1, 95}, {loop + 3 * perStep, 3}};
  for (const At& at : steps) EXPECT_EQ(zorvik_player_step_at(p, at.position), at.step);
  zorvik_player_free(p);
}

TEST(Api, ReplaceGoesOnAtTheSamePlaceOrKeepsThePlayerAsItWas) {
  Song song = fixtures::emptySong(250, "First");
  song.cells[0][0] = {1, 1};
  fixtures::SampleSet samples = fixtures::countingSamples(100);
  Files f = files(song, samples);
  zorvik_player* p = make(f);
  ASSERT_NE(p, nullptr);
  std::vector<std::int16_t> out(1000);
  zorvik_player_seek_to(p, 1, 40, 0);
  zorvik_player_render(p, out.data(), out.size());

  char error[128];
  EXPECT_EQ(zorvik_player_replace(p, "x", 1, nullptr, 0, error, sizeof error), -1);
  EXPECT_STREQ(error, "line 1, column 1: expected 'title' before the first step");
  EXPECT_STREQ(zorvik_player_title(p), "First");

  Song second = song;
  second.tempo = 100;
  std::memcpy(second.title.data(), "Second", 7);
  auto bytes = fixtures::songFile(second);
  EXPECT_EQ(zorvik_player_replace(p, bytes.data(), bytes.size(), f.bank.data(), f.bank.size(),
                                  error, sizeof error),
            0);
  EXPECT_STREQ(zorvik_player_title(p), "Second");
  EXPECT_EQ(zorvik_player_samples_per_step(p), stepLength(100));
  EXPECT_EQ(zorvik_player_step(p), 40);
  EXPECT_EQ(zorvik_player_loop(p), 1u);
  EXPECT_EQ(
      zorvik_player_replace(nullptr, bytes.data(), bytes.size(), nullptr, 0, error, sizeof error),
      -1);
  zorvik_player_free(p);
}

TEST(Api, CompilesAndDecompilesWithTheWarningsOfEither) {
  Song song = fixtures::emptySong(120, "Tune");
  song.cells[3][1] = {14, 2};  // plays, but the roll has no line for it
  const std::string text = decompileSong(song);
  const auto file = fixtures::songFile(song);
  struct Case {
    std::string input;
    int count;
    std::string warnings;
  } cases[] = {
      {std::string(file.begin(), file.end()), 1, "step 3, channel 2: "},
      {text, 1, "line "},
      {"title \"x\"\n", -1, "line 1, column 10: expected"},
  };
  for (const Case& c : cases) {
    std::uint8_t out[ZORVIK_SONG_FILE_SIZE] = {};
    char warnings[512];
    EXPECT_EQ(zorvik_song_compile(c.input.data(), c.input.size(), out, warnings, sizeof warnings),
              c.count)
        << c.input;
    EXPECT_EQ(std::string(warnings).substr(0, c.warnings.size()), c.warnings);
    if (c.count >= 0) {
      EXPECT_TRUE(std::equal(file.begin(), file.end(), out));
    }
  }
  std::vector<char> buffer(8);
  std::size_t needed =
      zorvik_song_decompile(file.data(), file.size(), buffer.data(), buffer.size());
  EXPECT_EQ(needed, text.size());
  buffer.resize(needed + 1);
  EXPECT_EQ(zorvik_song_decompile(file.data(), file.size(), buffer.data(), buffer.size()), needed);
  EXPECT_EQ(std::string(buffer.data()), text);
  EXPECT_EQ(zorvik_song_decompile("", 0, buffer.data(), buffer.size()), 0u);
  EXPECT_STREQ(buffer.data(), "not a valid .zvo file");
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

TEST(Api, SongMidiIsTheCoresFileOfThatManyLoops) {
  Song song = fixtures::emptySong(230);
  for (int step = 0; step < kSteps; step += 5) song.cells[step][step % 3] = {1, 2};
  const auto samples = fixtures::countingSamples(3000);
  const Files f = files(song, samples);
  const SampleBank bank = fixtures::makeBank(samples);
  auto midi = [&](const std::vector<std::uint8_t>& songBytes, unsigned loops, std::uint8_t* out,
                  std::size_t size, std::string* error = nullptr) {
    char message[128] = "untouched";
    std::size_t n = zorvik_song_midi(songBytes.data(), songBytes.size(), f.bank.data(),
                                     f.bank.size(), loops, out, size, message, sizeof message);
    if (error) *error = message;
    return n;
  };
  const std::uint64_t loop = kSteps * static_cast<std::uint64_t>(stepLength(song.tempo));
  for (unsigned loops : {0u, 1u, 3u}) {
    const std::vector<std::uint8_t> expected = songMidiFile(song, bank, std::max(loops, 1u) * loop);
    std::string error;
    EXPECT_EQ(midi(f.song, loops, nullptr, 0, &error), expected.size()) << loops;
    EXPECT_EQ(error, "untouched");
    // Too small by a byte: the length, and nothing written.
    std::vector<std::uint8_t> out(expected.size(), 0xAA);
    EXPECT_EQ(midi(f.song, loops, out.data(), out.size() - 1), expected.size());
    EXPECT_EQ(out, std::vector<std::uint8_t>(expected.size(), 0xAA));
    EXPECT_EQ(midi(f.song, loops, out.data(), out.size()), expected.size());
    EXPECT_EQ(out, expected) << loops;
    EXPECT_EQ(fixtures::midiNotes(fixtures::readMidiFile(out)).size(),
              (kSteps + 4) / 5 * std::max(loops, 1u));
  }
  // A song text is the same song.
  const std::string text = decompileSong(song);
  std::vector<std::uint8_t> fromText(text.begin(), text.end());
  std::vector<std::uint8_t> a(100000), b(100000);
  std::size_t n = midi(f.song, 2, a.data(), a.size());
  EXPECT_EQ(midi(fromText, 2, b.data(), b.size()), n);
  EXPECT_EQ(a, b);

  Files slow = files(fixtures::emptySong(0), samples);
  struct Case {
    std::vector<std::uint8_t> song, bank;
    unsigned loops;
    std::string message;
  } cases[] = {
      {{'x', 0}, f.bank, 1, "line 1, column 1: "},
      {f.song, {}, 1, "not a valid .zvi file"},
      // Four loops of the slowest tempo fit; five do not.
      {slow.song, slow.bank, 5,
       "that is 2:29:59 long, and a MIDI file holds at most 2:19:47: render fewer loops"},
  };
  for (const auto& c : cases) {
    char message[128] = "untouched";
    std::uint8_t out[16] = {};
    EXPECT_EQ(zorvik_song_midi(c.song.data(), c.song.size(), c.bank.data(), c.bank.size(), c.loops,
                               out, sizeof out, message, sizeof message),
              0u);
    EXPECT_EQ(std::string(message).substr(0, c.message.size()), c.message);
  }
  EXPECT_GT(zorvik_song_midi(slow.song.data(), slow.song.size(), slow.bank.data(), slow.bank.size(),
                             4, nullptr, 0, nullptr, 0),
            0u);
}

// A song text as C holds it: with its terminator, as sizeof counts it.
TEST(Api, ASongTextMayEndWithItsTerminator) {
  static const char kText[] =
      "title \"C\"\nauthor \"Me\"\nbank \"drums.zvi\"\ntempo 100\n0: C4a --- ---\n";
  char bank[64];
  EXPECT_EQ(zorvik_song_bank(kText, sizeof kText, bank, sizeof bank), 0) << bank;
  EXPECT_STREQ(bank, "drums.zvi");
  auto samples = fixtures::bankFile(fixtures::countingSamples(10));
  char error[128] = "";
  zorvik_player* p =
      zorvik_player_new(kText, sizeof kText, samples.data(), samples.size(), error, sizeof error);
  ASSERT_NE(p, nullptr) << error;
  EXPECT_STREQ(zorvik_player_title(p), "C");
  zorvik_player_free(p);
}

}  // namespace
}  // namespace zorvik
