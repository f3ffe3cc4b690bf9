// zorvik bank as users run it: build from audio files of any rate, format
// and channel count, list, extract, and the round trip between them.

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <random>
#include <sstream>

#include "formats/bank.hpp"
#include "formats/bytes.hpp"
#include "testing/fixtures.hpp"
#include "testing/run.hpp"
#include "tools/tool_test.hpp"

namespace zorvik {
namespace {

using fixtures::run;
using fixtures::shellQuote;
namespace fs = std::filesystem;

using tool_test::zorvik;
constexpr double kPi = 3.14159265358979323846;

// Writes interleaved values as they are: integer formats store them as
// whole numbers (16-bit or 24-bit), float formats as given.
void writeAudio(const fs::path& path, int format, int rate, int channels,
                const std::vector<double>& values) {
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = channels;
  info.format = format;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  ASSERT_NE(file, nullptr) << path << ": " << sf_strerror(nullptr);
  sf_command(file, SFC_SET_NORM_DOUBLE, nullptr, SF_FALSE);
  sf_writef_double(file, values.data(), static_cast<sf_count_t>(values.size()) / channels);
  sf_close(file);
}

int subtype(int format) { return format & SF_FORMAT_SUBMASK; }

// 16 WAV files at 32004 Hz, file k holding the 50 values k*100, k*100+1 ...
std::vector<std::string> sixteenFiles(const fs::path& dir) {
  std::vector<std::string> paths;
  auto samples = fixtures::countingSamples(50);
  for (int k = 0; k < kBankSamples; ++k) {
    auto path = dir / ("in" + std::to_string(k) + ".wav");
    writeAudio(path, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 32004, 1,
               {samples[k].begin(), samples[k].end()});
    paths.push_back(path.string());
  }
  return paths;
}

// The paths as shell arguments, each after a space.
std::string arguments(const std::vector<std::string>& paths) {
  std::string out;
  for (const auto& p : paths) out += " " + shellQuote(p);
  return out;
}

TEST(BankBuild, MakesMono32004HzSamplesFromAnyFile) {
  // What the build must give back for one input file: exactly these values,
  // or a sine of this amplitude and frequency over about this many values.
  struct Expected {
    std::vector<std::int16_t> exact;
    std::size_t length = 0;
    double amplitude = 0, hz = 0;
  };
  struct Kind {
    const char* what;
    int format, rate, channels;
  };
  const Kind kinds[] = {
      {"44100 Hz stereo WAV", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2},
      {"32004 Hz mono WAV", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 32004, 1},
      {"32004 Hz stereo AIFF", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 32004, 2},
      {"48000 Hz mono FLAC", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 48000, 1},
      {"32004 Hz float WAV", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 32004, 1},
      {"32004 Hz 24-bit FLAC", SF_FORMAT_FLAC | SF_FORMAT_PCM_24, 32004, 1},
      {"22050 Hz Ogg Vorbis", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 22050, 1},
  };
  fixtures::TempDir dir;
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> any16(-32768, 32767);
  std::vector<std::string> files;
  std::vector<Expected> expected(kBankSamples);
  std::vector<std::string> what(kBankSamples);
  for (int k = 0; k < kBankSamples; ++k) {
    const Kind& kind = kinds[k % std::size(kinds)];
    what[k] = kind.what;
    const std::size_t frames = 3000 + 37 * static_cast<std::size_t>(k);
    std::vector<double> values;
    Expected& e = expected[k];
    const bool lossy = subtype(kind.format) == SF_FORMAT_VORBIS;
    if (kind.rate != 32004 || lossy) {
      // A 441 Hz sine; a stereo file has it at full and half level, which
      // mixes down to three quarters.
      double level = lossy ? 0.3 : 8000.0;
      for (std::size_t i = 0; i < frames; ++i) {
        double s = std::sin(2 * kPi * 441.0 * static_cast<double>(i) / kind.rate);
        values.push_back(level * s);
        if (kind.channels == 2) values.push_back(0.5 * level * s);
      }
      e.length = static_cast<std::size_t>(std::lround(frames * 32004.0 / kind.rate));
      e.amplitude = kind.channels == 2 ? 6000.0 : 8000.0;
      e.hz = lossy ? 0.0 : 441.0;  // lossy: length only
    } else if (kind.channels == 2) {
      // Pairs whose average ends in .5 round away from zero.
      for (std::size_t i = 0; i < frames; ++i) {
        int left = any16(rng), right = (i % 2 ? left + 1 : left - 3);
        right = std::clamp(right, -32768, 32767);
        values.insert(values.end(), {double(left), double(right)});
        e.exact.push_back(static_cast<std::int16_t>(std::lround((left + right) / 2.0)));
      }
    } else {
      for (std::size_t i = 0; i < frames; ++i) {
        int v = any16(rng);
        e.exact.push_back(static_cast<std::int16_t>(v));
        if (subtype(kind.format) == SF_FORMAT_FLOAT)
          values.push_back(v / 32768.0);
        else if (subtype(kind.format) == SF_FORMAT_PCM_24)
          values.push_back(v * 256.0);
        else
          values.push_back(v);
      }
    }
    auto path = dir / ("in" + std::to_string(k) + ".audio");
    writeAudio(path, kind.format, kind.rate, kind.channels, values);
    files.push_back(path.string());
  }

  auto out = dir / "bank.zvi";
  auto r = run(zorvik("bank build " + shellQuote(out.string()) +
                      " --name Mixed --author 'A. Tester'" + arguments(files)));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  SampleBank bank = loadSampleBankFile(out.string());
  EXPECT_EQ(textOf(bank.header.name), "Mixed");
  EXPECT_EQ(textOf(bank.header.author), "A. Tester");
  for (int k = 0; k < kBankSamples; ++k) {
    SCOPED_TRACE(std::to_string(k) + ": " + what[k]);
    const std::vector<std::int16_t> got = bank.samples[k].values();
    const Expected& e = expected[k];
    if (!e.exact.empty()) {
      EXPECT_EQ(got, e.exact);
      continue;
    }
    EXPECT_NEAR(static_cast<double>(got.size()), static_cast<double>(e.length), 2.0);
    if (e.hz == 0.0) continue;
    double worst = 0;  // away from the ends, where the converter's filter is cut
    for (std::size_t i = 100; i + 100 < got.size(); ++i) {
      double want = e.amplitude * std::sin(2 * kPi * e.hz * static_cast<double>(i) / 32004.0);
      worst = std::max(worst, std::abs(got[i] - want));
    }
    EXPECT_LT(worst, 3.0);
  }
}

TEST(BankBuild, ExtractThenBuildGivesTheSameBank) {
  fixtures::TempDir dir;
  std::mt19937 rng(11);
  fixtures::SampleSet samples;
  for (auto& s : samples) {
    s.resize(rng() % 4000);
    for (auto& v : s) v = static_cast<std::int16_t>(rng());
  }
  samples[3] = {-32768, 32767, 0, -1, 1};
  samples[9].clear();
  const auto original = fixtures::bankFile(samples, "Round Trip", "Tester");
  auto bankPath = dir / "bank.zvi";
  fixtures::writeFile(bankPath, original);

  auto extracted = dir / "new" / "folder";
  auto r = run(zorvik("bank extract " + shellQuote(bankPath.string()) + " " +
                      shellQuote(extracted.string())));
  ASSERT_EQ(r.status, 0) << r.err;
  std::vector<std::string> names = fixtures::namesIn(extracted);
  ASSERT_EQ(names.size(), 16u);
  EXPECT_EQ(names[0], "00-a.wav");
  EXPECT_EQ(names[12], "12-m-low.wav");
  EXPECT_EQ(names[13], "13-m-high.wav");
  EXPECT_EQ(names[14], "14-n.wav");
  EXPECT_EQ(names[15], "15-o.wav");
  SF_INFO info{};
  SNDFILE* file = sf_open((extracted / names[3]).c_str(), SFM_READ, &info);
  ASSERT_NE(file, nullptr);
  sf_close(file);
  EXPECT_EQ(info.samplerate, 32004);
  EXPECT_EQ(info.channels, 1);
  EXPECT_EQ(info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
  EXPECT_EQ(info.frames, 5);

  // The shell sorts DIR/*.wav, which puts the names in bank order.
  auto rebuild = [&](const std::string& out) {
    return run(zorvik("bank build " + out + " --name 'Round Trip' --author Tester " +
                      shellQuote(extracted.string()) + "/*.wav"));
  };
  auto rebuilt = dir / "rebuilt.zvi";
  r = rebuild(shellQuote(rebuilt.string()));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(fixtures::readFile(rebuilt), original);

  r = rebuild("-");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(std::vector<std::uint8_t>(r.out.begin(), r.out.end()), original);
}

TEST(BankBuild, ClipsAndCountsValuesBeyond16Bits) {
  fixtures::TempDir dir;
  auto files = sixteenFiles(dir.path());
  auto loud = dir / "loud.wav";
  writeAudio(loud, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 32004, 1, {1.5, -2.0, 0.999, 1.0, -1.0, 0.25});
  files[4] = loud.string();

  auto out = dir / "bank.zvi";
  auto r = run(zorvik("bank build " + shellQuote(out.string()) + " --name Loud --author x" +
                      arguments(files)));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "zorvik: warning: " + loud.string() + ": 3 values clipped to 16 bits\n");
  SampleBank bank = loadSampleBankFile(out.string());
  EXPECT_EQ(bank.samples[4].values(),
            (std::vector<std::int16_t>{32767, -32768, 32735, 32767, -32768, 8192}));
  EXPECT_EQ(bank.samples[5].data[0], 500);
}

// Fewer than 16 files: the rest silent, or the default bank's; a file
// given again, by any name, stored once.
TEST(BankBuild, FewerFilesFillTheRestAndRepeatsAreStoredOnce) {
  fixtures::TempDir dir;
  const auto paths = sixteenFiles(dir.path());
  fs::create_symlink(paths[1], dir / "again.wav");
  fs::create_directory(dir / "banks");
  const fixtures::SampleSet defaults = fixtures::countingSamples(30);
  fixtures::writeFile(dir / "banks" / "default.zvi", fixtures::bankFile(defaults, "Default"));
  const auto ours = fixtures::countingSamples(50);  // what sixteenFiles holds
  auto loud = dir / "loud.wav";
  writeAudio(loud, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 32004, 1, {1.5, 0.5});
  const std::string env = "ZORVIK_BANK_PATH=" + shellQuote((dir / "banks").string()) + " ";
  struct Case {
    std::vector<std::string> files;
    std::string options;
    std::vector<int> from;  // each sample: the file's sample (of ours) it holds, -1 silence,
                            // -2 the default bank's own, -3 loud.wav
    std::size_t storedValues;
  } cases[] = {
      {{paths[0]}, "", {0}, 50},
      {{paths[0], paths[1], paths[0]}, "", {0, 1, 0}, 100},
      {{paths[1], (dir / "again.wav").string(), loud.string(), paths[1]}, "", {1, 1, -3, 1}, 52},
      {{paths[4], paths[5]}, " --fill default", {4, 5}, 100 + 14 * 30},
      {{paths[4], paths[5]}, " --fill=silence", {4, 5}, 100},
  };
  for (const auto& c : cases) {
    auto out = dir / "bank.zvi";
    auto r = run(env + zorvik("bank build " + shellQuote(out.string()) + " -n N -a A" + c.options +
                              arguments(c.files)));
    ASSERT_EQ(r.status, 0) << r.err;
    // A repeated file is read, and warned about, once.
    const bool loudOnce = std::count(c.from.begin(), c.from.end(), -3) == 1;
    EXPECT_EQ(r.err, loudOnce
                         ? "zorvik: warning: " + loud.string() + ": 1 values clipped to 16 bits\n"
                         : "");
    EXPECT_EQ(fs::file_size(out), kBankDataStart + 2 * c.storedValues) << c.options;
    SampleBank bank = loadSampleBankFile(out.string());
    for (int k = 0; k < kBankSamples; ++k) {
      SCOPED_TRACE(std::to_string(k) + c.options);
      int from = k < static_cast<int>(c.from.size()) ? c.from[k]
                 : c.options == " --fill default"    ? -2
                                                     : -1;
      std::vector<std::int16_t> expected = from >= 0    ? ours[from]
                                           : from == -2 ? defaults[k]
                                           : from == -3 ? std::vector<std::int16_t>{32767, 16384}
                                                        : std::vector<std::int16_t>{};
      EXPECT_EQ(bank.samples[k].values(), expected);
    }
    // Repeats point at the same values.
    for (std::size_t k = 0; k < c.from.size(); ++k) {
      for (std::size_t j = 0; j < k; ++j) {
        if (c.from[j] == c.from[k]) {
          EXPECT_EQ(bank.header.descriptor(static_cast<int>(k)).dataOffset,
                    bank.header.descriptor(static_cast<int>(j)).dataOffset);
        }
      }
    }
    // Standard output gets the very same bytes.
    r = run(env + zorvik("bank build - -n N -a A" + c.options + arguments(c.files)));
    EXPECT_EQ(std::vector<std::uint8_t>(r.out.begin(), r.out.end()), fixtures::readFile(out));
  }
  auto r = run(zorvik("bank build --help"));
  EXPECT_NE(r.out.find("a bank of 16 samples from 1 to 16 audio files"), std::string::npos);
}

TEST(BankCommand, BadCommandLinesAreUsageErrors) {
  fixtures::TempDir dir;
  const auto paths = sixteenFiles(dir.path());
  const std::string files = arguments(paths);
  const std::string out = shellQuote((dir / "out.zvi").string());
  const std::string name31(31, 'n'), name32(32, 'n');
  struct Case {
    std::string args;
    int status;
    const char* message;  // part of standard error
  } cases[] = {
      {"bank", 2, "zorvik bank: expected build, list or extract"},
      {"bank mix", 2, "unknown subcommand 'mix'"},
      {"bank build " + out + " --name " + name32 + " --author a" + files, 2,
       "--name is 32 bytes long"},
      {"bank build " + out + " --name a --author " + name32 + files, 2,
       "--author is 32 bytes long"},
      {"bank build " + out + " --name a --author b", 2,
       "expected OUT.zvi, then 1 to 16 audio files, one for each of the bank's 16 samples; got 0 "
       "files"},
      {"bank build " + out + " --name a --author b" + files + arguments({paths[0]}), 2,
       "expected OUT.zvi, then 1 to 16 audio files, one for each of the bank's 16 samples; got "
       "17 files"},
      {"bank build " + out + " --name a --author b --fill noise" + files, 2,
       "--fill takes silence or default, not 'noise'"},
      {"bank build " + out + " --author b" + files, 2, "give the bank's --name and --author"},
      {"bank build " + out + " --name a" + files, 2, "give the bank's --name and --author"},
      {"bank build " + out + files + " --name", 2, "--name needs a value"},
      {"bank build " + out + " --name a --author b --rate 8000" + files, 2,
       "unknown option '--rate'"},
      {"bank list", 2, "expected BANK (1 operand), got 0"},
      {"bank extract x.zvi", 2, "expected BANK DIR (2 operands), got 1"},
      {"bank build " + out + " --name " + name31 + " --author " + name31 + files, 0, ""},
  };
  for (const auto& c : cases) {
    auto r = run(zorvik(c.args));
    EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << c.args << "\n" << r.err;
    if (c.status == 2) {
      EXPECT_NE(r.err.find("--help"), std::string::npos) << r.err;
    }
  }
  EXPECT_EQ(textOf(loadSampleBankFile((dir / "out.zvi").string()).header.name), name31);

  for (const char* help :
       {"bank --help", "bank build -h", "bank list --help", "bank extract --help"}) {
    auto r = run(zorvik(help));
    EXPECT_EQ(r.status, 0) << help;
    EXPECT_EQ(r.out.rfind("Usage: zorvik bank", 0), 0u) << help;
  }
}

TEST(BankCommand, BadInputFailsWithOneLineAndLeavesNoFile) {
  fixtures::TempDir dir;
  auto files = sixteenFiles(dir.path());
  fixtures::writeFile(dir / "junk.wav", std::vector<std::uint8_t>{'j', 'u', 'n', 'k'});
  files[15] = (dir / "junk.wav").string();
  auto badBank = fixtures::bankFile(fixtures::countingSamples(4));
  writeLe32(badBank.data() + descriptorOffset(2, DescriptorField::BitsPerSample), 8);
  fixtures::writeFile(dir / "eight.zvi", badBank);
  const std::string missing = (dir / "missing.zvi").string();
  const std::string eight = (dir / "eight.zvi").string();
  struct Case {
    std::string args;
    std::string message;  // the whole of standard error
  } cases[] = {
      {"bank build " + shellQuote((dir / "out.zvi").string()) + " --name a --author b" +
           arguments(files),
       "zorvik: cannot read " + (dir / "junk.wav").string() + ": "},
      {"bank list " + shellQuote(missing),
       "zorvik: cannot read " + missing + ": No such file or directory\n"},
      {"bank list " + shellQuote(eight),
       "zorvik: " + eight + ": only 16 bit samples supported at the moment\n"},
      {"bank extract " + shellQuote(eight) + " " + shellQuote((dir / "x").string()),
       "zorvik: " + eight + ": only 16 bit samples supported at the moment\n"},
  };
  for (const auto& c : cases) {
    auto r = run(zorvik(c.args));
    EXPECT_EQ(r.status, 1) << c.args;
    EXPECT_EQ(r.err.rfind(c.message, 0), 0u) << c.args << "\n" << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
  }
  // Neither the bank nor a temporary file was left, nor was x/ made.
  for (const auto& entry : fs::directory_iterator(dir.path())) {
    auto name = entry.path().filename().string();
    EXPECT_TRUE(name.starts_with("in") || name == "junk.wav" || name == "eight.zvi") << name;
  }
}

TEST(BankList, ShowsTheHeaderAndEveryDescriptor) {
  fixtures::SampleSet samples;
  for (int k = 0; k < kBankSamples; ++k) samples[k].assign(1000 * static_cast<std::size_t>(k), 1);
  auto bytes = fixtures::bankFile(samples, "Listed", "Lister");
  bytes.resize(bytes.size() - 15000);  // sample 15 loses 7500 of its 15000 values
  fixtures::TempDir dir;
  fixtures::writeFile(dir / "b.zvi", bytes);
  auto r = run(zorvik("bank list " + shellQuote((dir / "b.zvi").string())));
  ASSERT_EQ(r.status, 0) << r.err;

  std::istringstream lines(r.out);
  std::string line;
  std::getline(lines, line);
  EXPECT_EQ(line, "name:   Listed");
  std::getline(lines, line);
  EXPECT_EQ(line, "author: Lister");
  std::getline(lines, line);
  std::getline(lines, line);  // column titles
  const char* plays[kBankSamples] = {"a", "b", "c", "d", "e",     "f",      "g", "h",
                                     "i", "j", "k", "l", "m low", "m high", "n", "o"};
  std::uint32_t offset = kBankDataStart;
  for (int k = 0; k < kBankSamples; ++k) {
    ASSERT_TRUE(std::getline(lines, line)) << k;
    SCOPED_TRACE(line);
    std::istringstream fields(line);
    int index = -1;
    std::string letter, word;
    fields >> index >> letter;
    if (k == 12 || k == 13) letter += " " + (fields >> word, word);
    std::uint32_t byteLength = 0, bits = 0, rate = 0, dataOffset = 0, values = 0;
    double seconds = -1;
    fields >> byteLength >> bits >> rate >> dataOffset >> values >> seconds;
    EXPECT_EQ(index, k);
    EXPECT_EQ(letter, plays[k]);
    EXPECT_EQ(byteLength, 2000u * k);
    EXPECT_EQ(bits, 16u);
    EXPECT_EQ(rate, 32004u);
    EXPECT_EQ(dataOffset, offset);
    EXPECT_EQ(values, k == 15 ? 7500u : 1000u * k);
    EXPECT_NEAR(seconds, values / 32004.0, 0.0005);
    EXPECT_EQ(line.find("cut short") != std::string::npos, k == 15);
    offset += byteLength;
  }
  EXPECT_FALSE(std::getline(lines, line)) << line;
}

}  // namespace
}  // namespace zorvik
