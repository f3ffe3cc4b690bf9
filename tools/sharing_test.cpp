// Writing songs and sharing them: song texts and pipes wherever a song or
// a bank is read, compile warnings, and every render format and option.

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <filesystem>

#include "engine/sequencer.hpp"
#include "formats/song_text.hpp"
#include "testing/fixtures.hpp"
#include "testing/run.hpp"
#include "tools/tool_test.hpp"

namespace zorvik {
namespace {

using fixtures::run;
using fixtures::shellQuote;
namespace fs = std::filesystem;

using tool_test::Audio;
using tool_test::readAudio;
using tool_test::zorvik;

// A song with notes in a folder, as a song file and as its text, with its bank.
struct Folder {
  fixtures::TempDir dir;
  Song song = fixtures::emptySong(220, "Shared", "Tester", "mine.zvi");
  fixtures::SampleSet samples;
  Folder() {
    std::mt19937 rng(8);
    for (auto& s : samples) {
      s.resize(3000);
      for (auto& v : s) v = static_cast<std::int16_t>(static_cast<int>(rng() % 40000) - 20000);
    }
    for (int step = 0; step < kSteps; step += 2) {
      song.cells[step] = {SongCell{static_cast<std::uint8_t>(step % 16), 1}, kNoNote,
                          SongCell{9, static_cast<std::uint8_t>(step % 14)}};
    }
    fixtures::writeFile(dir / "song.zvo", fixtures::songFile(song));
    std::string text = decompileSong(song);
    fixtures::writeFile(dir / "song.txt", std::vector<std::uint8_t>(text.begin(), text.end()));
    fixtures::writeFile(dir / "mine.zvi", fixtures::bankFile(samples));
  }
  std::string in(const std::string& command) const {
    return "cd " + shellQuote(dir.path().string()) + " && " + command;
  }
  std::vector<std::int16_t> stream(std::size_t n) const {
    return fixtures::streamOf(song, samples, n);
  }
};

TEST(Sharing, EveryReaderTakesAPipeStandardInputAndText) {
  Folder f;
  const std::string expectedInfo = run(f.in(zorvik("info song.zvo"))).out;
  const std::string expectedList = run(f.in(zorvik("bank list mine.zvi"))).out;
  ASSERT_NE(expectedInfo.find("Title:        Shared"), std::string::npos);
  // Each way of handing over a file: by name, '-', /dev/stdin, a FIFO.
  struct Way {
    const char* what;
    std::string (*wrap)(const std::string& command, const std::string& file);
  } ways[] = {
      {"name", [](const std::string& c, const std::string& file) { return c + " " + file; }},
      {"-", [](const std::string& c, const std::string& file) { return c + " - < " + file; }},
      {"/dev/stdin",
       [](const std::string& c, const std::string& file) { return c + " /dev/stdin < " + file; }},
      {"FIFO",
       [](const std::string& c, const std::string& file) {
         return "rm -f fifo && mkfifo fifo && (cat " + file + " > fifo &) && " + c + " fifo";
       }},
  };
  for (const Way& way : ways) {
    for (const char* song : {"song.zvo", "song.txt"}) {
      auto r = run(f.in(way.wrap(zorvik("info"), song)));
      EXPECT_EQ(r.out, expectedInfo) << way.what << " " << song << r.err;
      r = run(f.in(way.wrap(zorvik("song decompile"), song)));
      EXPECT_EQ(r.out, decompileSong(f.song)) << way.what << " " << song << r.err;
      r = run(f.in(way.wrap(zorvik("render --bank mine.zvi --samples 3000 --"), song) + " x.wav"));
      EXPECT_EQ(r.status, 0) << way.what << " " << song << r.err;
      auto expected = f.stream(3000);
      EXPECT_EQ(readAudio(f.dir / "x.wav").values,
                std::vector<double>(expected.begin(), expected.end()))
          << way.what << " " << song;
    }
    auto r = run(f.in(way.wrap(zorvik("song compile"), "song.txt") + " out.zvo"));
    EXPECT_EQ(r.status, 0) << way.what << r.err;
    EXPECT_EQ(fixtures::readFile(f.dir / "out.zvo"), fixtures::readFile(f.dir / "song.zvo"));
    r = run(f.in(way.wrap(zorvik("bank list"), "mine.zvi")));
    EXPECT_EQ(r.out, expectedList) << way.what << r.err;
    fs::remove_all(f.dir / "out");
    r = run(f.in(way.wrap(zorvik("bank extract"), "mine.zvi") + " out"));
    EXPECT_EQ(r.status, 0) << way.what << r.err;
    EXPECT_EQ(std::distance(fs::directory_iterator(f.dir / "out"), fs::directory_iterator()), 16)
        << way.what;
    r = run(f.in(way.wrap(zorvik("render song.zvo x.wav --samples 3000 --bank"), "mine.zvi")));
    EXPECT_EQ(r.status, 0) << way.what << r.err;
    auto audio = readAudio(f.dir / "x.wav");
    auto expected = f.stream(3000);
    EXPECT_EQ(audio.values, std::vector<double>(expected.begin(), expected.end())) << way.what;
  }
}

TEST(Sharing, OneRuleTellsASongTextFromASongFile) {
  Folder f;
  const std::string text = decompileSong(f.song);
  const std::string header = text.substr(0, text.find("\n\n") + 1);
  auto file = [&](const std::string& name, const std::string& bytes) {
    fixtures::writeFile(f.dir / name, std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
  };
  file("comment.txt",
       header + "# a zero byte: " + std::string(1, '\0') + "\n" + text.substr(header.size()));
  file("ended.txt", text + std::string(2, '\0'));
  file("binary.txt", header + "0: C4a " + std::string(1, '\0') + "\n");
  file("JUNK.ZVO", "not a song at all\n");
  file("Junk.Zvo", "not a song at all\n");
  struct Case {
    const char* input;
    std::string error;  // empty: the song, as decompiled from song.zvo
  } cases[] = {
      {"comment.txt", ""},
      {"ended.txt", ""},
      {"binary.txt", "zorvik: binary.txt: not a valid .zvo file\n"},
      {"JUNK.ZVO", "zorvik: JUNK.ZVO: not a valid .zvo file\n"},
      {"Junk.Zvo", "zorvik: Junk.Zvo: not a valid .zvo file\n"},
      {"mine.zvi",
       "zorvik: mine.zvi: a sample bank, not a song: 'zorvik bank list mine.zvi' shows what it "
       "holds\n"},
  };
  for (const auto& c : cases) {
    for (std::string command : {"info", "render --samples 10 --bank mine.zvi", "song decompile"}) {
      std::string args = command == "render --samples 10 --bank mine.zvi"
                             ? command + " " + c.input + " out.wav"
                             : command + " " + c.input;
      auto r = run(f.in(zorvik(args)));
      EXPECT_EQ(r.status, c.error.empty() ? 0 : 1) << args << "\n" << r.err;
      EXPECT_EQ(r.err.rfind(c.error, 0), 0u) << args << "\n" << r.err;
      if (c.error.empty() && command == "song decompile") {
        EXPECT_EQ(r.out, text) << args;
      }
    }
  }
  // song compile takes the same texts, and only texts.
  for (const char* input : {"comment.txt", "ended.txt"}) {
    auto r = run(f.in(zorvik("song compile " + std::string(input) + " out.zvo")));
    EXPECT_EQ(r.status, 0) << input << r.err;
    EXPECT_EQ(fixtures::readFile(f.dir / "out.zvo"), fixtures::readFile(f.dir / "song.zvo"));
  }
  for (auto [input, error] :
       {std::pair{"binary.txt", "binary.txt: not a valid .zvo file"},
        std::pair{"song.zvo", "song.zvo: a song file already, not a song text"},
        std::pair{"mine.zvi", "mine.zvi: a sample bank, not a song"}}) {
    auto r = run(f.in(zorvik("song compile " + std::string(input) + " new.zvo")));
    EXPECT_EQ(r.status, 1) << input;
    EXPECT_NE(r.err.find(error), std::string::npos) << input << ": " << r.err;
    EXPECT_FALSE(fs::exists(f.dir / "new.zvo")) << input;
  }
}

TEST(Sharing, RenderingATextEqualsCompilingThenRendering) {
  Folder f;
  auto r = run(f.in(zorvik("render song.txt a.wav --loops 2") + " && " +
                    zorvik("song compile song.txt c.zvo") + " && " +
                    zorvik("render c.zvo b.wav --loops 2")));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(fixtures::readFile(f.dir / "a.wav"), fixtures::readFile(f.dir / "b.wav"));
  EXPECT_EQ(readAudio(f.dir / "a.wav").values.size(), 2u * 96 * stepLength(220));
}

TEST(Sharing, CompileWarnsWithLineAndColumnAndStrictRefuses) {
  Folder f;
  std::string text =
      "title \"W\"\nauthor \"A\"\nbank \"b.zvi\"\ntempo 9\n"
      "10: C4a  B5c  ---\n"
      "11: 20:1 ---  2:15\n";
  fixtures::writeFile(f.dir / "w.txt", std::vector<std::uint8_t>(text.begin(), text.end()));
  auto r = run(f.in(zorvik("song compile w.txt w.zvo")));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err,
            "zorvik: warning: w.txt: line 5, column 10: B5 plays but the roll cannot show it (it "
            "shows B3 to G5, pitch rows 1 to 13)\n"
            "zorvik: warning: w.txt: line 6, column 5: 20b is past the note table (pitch rows 0 "
            "to 15); it cuts the step but stays silent\n"
            "zorvik: warning: w.txt: line 6, column 15: instrument p of C4p has no sample in the "
            "bank; it cuts the step but stays silent\n");
  EXPECT_TRUE(fs::exists(f.dir / "w.zvo"));
  r = run(f.in(zorvik("song compile --strict w.txt s.zvo")));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 3) << r.err;
  EXPECT_EQ(r.err.find("warning"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(f.dir / "s.zvo"));
  // A sparse text, with a byte-order mark, both ways.
  r = run(f.in("printf '\\357\\273\\277' > bom.txt && " +
               zorvik("song decompile --sparse song.zvo") + " >> bom.txt && " +
               zorvik("song compile bom.txt back.zvo")));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(fixtures::readFile(f.dir / "back.zvo"), fixtures::readFile(f.dir / "song.zvo"));
}

TEST(Sharing, EveryFormatReadsBackWithItsLengthAndRate) {
  Folder f;
  const std::size_t n = 32004 * 2;
  const auto exact = f.stream(n);
  struct Case {
    const char* file;
    int major;
    int rate;
    bool lossy;
    const char* note;  // expected on standard error, if anything
  } cases[] = {
      {"a.wav", SF_FORMAT_WAV, 32004, false, ""},
      {"a.rf64", SF_FORMAT_RF64, 32004, false, ""},
      {"a.flac", SF_FORMAT_FLAC, 32004, false, ""},
      {"a.aiff", SF_FORMAT_AIFF, 32004, false, ""},
      {"a.ogg", SF_FORMAT_OGG, 32004, true, ""},
      {"a.opus", SF_FORMAT_OGG, 48000, true,
       "zorvik: Ogg Opus cannot hold 32004 Hz: converting to 48000 Hz\n"},
      {"a.mp3", SF_FORMAT_MPEG, 44100, true,
       "zorvik: MP3 cannot hold 32004 Hz: converting to 44100 Hz\n"},
  };
  for (const auto& c : cases) {
    auto r = run(
        f.in(zorvik("render song.zvo " + std::string(c.file) + " --samples " + std::to_string(n))));
    ASSERT_EQ(r.status, 0) << c.file << r.err;
    EXPECT_EQ(r.err.rfind(c.note, 0), 0u) << c.file << r.err;
    Audio audio = readAudio(f.dir / c.file);
    EXPECT_EQ(audio.info.format & SF_FORMAT_TYPEMASK, c.major) << c.file;
    EXPECT_EQ(audio.info.samplerate, c.rate) << c.file;
    EXPECT_EQ(audio.info.channels, 1) << c.file;
    double expectedLength = static_cast<double>(n) * c.rate / 32004;
    // Lossy encoders may pad a frame at the start or the end.
    EXPECT_NEAR(static_cast<double>(audio.values.size()), expectedLength, c.lossy ? 2000 : 0)
        << c.file;
    if (!c.lossy) {
      EXPECT_EQ(audio.values, std::vector<double>(exact.begin(), exact.end())) << c.file;
    }
  }
}

TEST(Sharing, RateAndGain) {
  Folder f;
  const std::size_t n = 100000;
  for (int rate : {48000, 44100, 22050, 96000}) {
    auto r = run(f.in(zorvik("render song.zvo r.wav --samples " + std::to_string(n) + " --rate " +
                             std::to_string(rate))));
    ASSERT_EQ(r.status, 0) << rate << r.err;
    Audio audio = readAudio(f.dir / "r.wav");
    EXPECT_EQ(audio.info.samplerate, rate);
    EXPECT_NEAR(static_cast<double>(audio.values.size()), static_cast<double>(n) * rate / 32004,
                1.0)
        << rate;
  }
  // Each format's rates are checked before anything is written, and named.
  struct Refused {
    const char* out;
    int rate;
    const char* message;
  } refused[] = {
      {"r.opus", 44100, "Ogg Opus holds only 8000, 12000, 16000, 24000, 48000 Hz"},
      {"r.ogg", 200001, "Ogg Vorbis holds 1000 to 200000 Hz, not --rate 200001"},
      {"r.flac", 200001, "FLAC holds 1000 to 65535 Hz, and multiples of 10 Hz up to 384000"},
      {"r.flac", 65537, "FLAC holds 1000 to 65535 Hz"},
  };
  for (const auto& c : refused) {
    auto r = run(f.in(zorvik("render song.zvo " + std::string(c.out) + " --samples 100 --rate " +
                             std::to_string(c.rate))));
    EXPECT_EQ(r.status, 2) << c.out << " " << c.rate;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(f.dir / c.out)) << c.out;
  }
  for (auto [out, rate] : {std::pair{"h.ogg", 200000}, std::pair{"h.flac", 65535},
                           std::pair{"h.flac", 384000}, std::pair{"h.wav", 384000}}) {
    auto r = run(f.in(zorvik("render song.zvo " + std::string(out) + " --samples 3000 --rate " +
                             std::to_string(rate))));
    EXPECT_EQ(r.status, 0) << out << " " << rate << r.err;
    EXPECT_EQ(readAudio(f.dir / out).info.samplerate, rate) << out;
  }

  // +12 dB makes every sample four times louder; what passes full scale is
  // limited and counted.
  const auto exact = f.stream(n);
  const double scale = std::pow(10.0, 12.0 / 20);
  std::size_t past = 0;
  for (std::int16_t v : exact) {
    double louder = std::round(v * scale);
    past += louder > 32767 || louder < -32768;
  }
  ASSERT_GT(past, 0u);
  auto r = run(f.in(zorvik("render song.zvo g.wav --gain 12 --samples " + std::to_string(n))));
  ASSERT_EQ(r.status, 0) << r.err;
  Audio audio = readAudio(f.dir / "g.wav");
  ASSERT_EQ(audio.values.size(), n);
  std::size_t limited = 0;
  for (std::size_t i = 0; i < n; ++i) {
    double want = std::round(exact[i] * scale);
    if (want > 32767 || want < -32768) {
      ++limited;
      want = want > 0 ? 32767 : -32768;
    }
    ASSERT_EQ(audio.values[i], want) << i;
  }
  EXPECT_EQ(limited, past);
  EXPECT_EQ(r.err, "zorvik: warning: " + std::to_string(past) +
                       " samples passed full scale and were limited\n");
  r = run(f.in(zorvik("render song.zvo g.wav --gain 61")));
  EXPECT_EQ(r.status, 2);
}

}  // namespace
}  // namespace zorvik
