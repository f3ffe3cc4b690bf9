// The tools as an adversarial user runs them: outputs that are inputs or
// not files at all, signals and file-size limits mid-write, files past
// 4 GiB, full disks, memory limits, hostile file contents. Each case once
// lost data, reported a failure as success, or ran without bound.

#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <thread>

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

// AddressSanitizer reserves terabytes of address space: a memory limit
// (ulimit -v) means nothing to a program built with it.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

// A folder with a song (and its text) that takes long to render, and a bank.
struct Folder {
  fixtures::TempDir dir;
  std::string song = (dir / "slow.zvo").string();
  std::string text = (dir / "slow.txt").string();
  std::string bank = (dir / "slow.zvi").string();
  std::string in(const std::string& command) {
    return "cd " + shellQuote(dir.path().string()) + " && " + command;
  }
  Folder() {
    Song s = fixtures::emptySong(0, "Slow", "Tester", "slow.zvi");
    s.cells[0] = {SongCell{1, 0}, SongCell{5, 1}, SongCell{9, 2}};
    fixtures::writeFile(song, fixtures::songFile(s));
    fixtures::writeFile(bank, fixtures::bankFile(fixtures::countingSamples(64000)));
    auto r = run(zorvik("song decompile " + shellQuote(song) + " " + shellQuote(text)));
    EXPECT_EQ(r.status, 0) << r.err;
  }
};

TEST(Abuse, AnOutputThatIsAnInputIsRefusedAndLeftAlone) {
  Folder f;
  // 17 WAV files, and OUT forgotten: the first WAV would have become a bank.
  std::string wavs;
  for (int k = 0; k < 17; ++k) {
    std::string path = (f.dir / ("w" + std::to_string(k) + ".wav")).string();
    auto r = run(zorvik("render " + shellQuote(f.song) + " " + shellQuote(path) + " --samples 10"));
    ASSERT_EQ(r.status, 0) << r.err;
    wavs += " " + shellQuote(path);
  }
  const std::string firstWav = fixtures::readText(f.dir / "w0.wav");
  const std::string text = fixtures::readText(f.text);
  fs::create_symlink("slow.txt", f.dir / "link.txt");
  struct Case {
    std::string command;
    std::string message;
  } cases[] = {
      {"song compile slow.txt slow.txt", "the output slow.txt is also an input (slow.txt)"},
      {"song compile slow.txt link.txt", "the output link.txt is also an input (slow.txt)"},
      {"song compile - slow.txt < slow.txt", "the output slow.txt is also an input (-)"},
      {"song decompile slow.zvo slow.zvo", "is also an input"},
      {"bank build --name N --author A" + wavs, "does not end in .zvi"},
      {"render slow.zvo slow.zvi.wav --bank slow.zvi --samples 1 && "
       "cp slow.zvi.wav x.wav && " +
           zorvik("render x.wav x.wav --samples 1"),
       "is also an input"},
  };
  for (const auto& c : cases) {
    auto r = run(f.in(zorvik(c.command)));
    EXPECT_EQ(r.status, 2) << c.command << "\n" << r.err;
    EXPECT_NE(r.err.find(c.message), std::string::npos) << c.command << "\n" << r.err;
  }
  EXPECT_EQ(fixtures::readText(f.dir / "w0.wav"), firstWav);
  EXPECT_EQ(fixtures::readText(f.text), text);
  EXPECT_TRUE(fs::is_symlink(f.dir / "link.txt"));
}

// The bank render finds is one of its inputs too, though no operand names
// it: by a link, or by a name with an audio file's extension.
TEST(Abuse, RenderNeverWritesOverTheBankItFound) {
  Folder f;
  Song song = fixtures::emptySong(200, "Named", "Tester", "bank.wav");
  song.cells[0] = {SongCell{1, 0}, kNoNote, kNoNote};
  fixtures::writeFile(f.dir / "named.zvo", fixtures::songFile(song));
  fs::copy_file(f.bank, f.dir / "bank.wav");
  fs::create_symlink("slow.zvi", f.dir / "link.wav");
  const std::string bank = fixtures::readText(f.bank);
  for (std::string command :
       {"render slow.zvo link.wav --samples 10", "render named.zvo bank.wav --samples 10"}) {
    auto r = run(f.in(zorvik(command)));
    EXPECT_EQ(r.status, 2) << command << "\n" << r.err;
    EXPECT_NE(r.err.find("is also an input"), std::string::npos) << command << "\n" << r.err;
  }
  EXPECT_EQ(fixtures::readText(f.bank), bank);
  EXPECT_EQ(fixtures::readText(f.dir / "bank.wav"), bank);
  EXPECT_TRUE(fs::is_symlink(f.dir / "link.wav"));
}

TEST(Abuse, AReadOnlyOutputIsRefusedAndLeftAlone) {
  Folder f;
  auto r = run(f.in(zorvik("bank extract slow.zvi samples")));
  ASSERT_EQ(r.status, 0) << r.err;
  std::string samples;
  for (const std::string& name : fixtures::namesIn(f.dir / "samples")) {
    samples += " samples/" + name;
  }
  fs::create_symlink("old.wav", f.dir / "link.wav");
  struct Case {
    std::string command;
    std::string output;  // made read-only first
  } cases[] = {
      {"render slow.zvo old.wav --samples 10", "old.wav"},
      {"render slow.zvo link.wav --samples 10", "old.wav"},
      {"song compile slow.txt old.zvo", "old.zvo"},
      {"song decompile slow.zvo old.txt", "old.txt"},
      {"bank build -n N -a A old.zvi" + samples, "old.zvi"},
      {"bank extract slow.zvi samples", "samples/07-h.wav"},
  };
  for (const auto& c : cases) {
    const fs::path output = f.dir / c.output;
    if (!fs::exists(output)) fixtures::writeFile(output, std::vector<std::uint8_t>{'o', 'l', 'd'});
    const std::string before = fixtures::readText(output);
    for (mode_t mode : {0444, 0400}) {
      ::chmod(output.c_str(), mode);
      r = run(f.in(zorvik(c.command)));
      EXPECT_EQ(r.status, 1) << c.command;
      EXPECT_NE(r.err.find("Permission denied (it is read-only"), std::string::npos)
          << c.command << "\n"
          << r.err;
      EXPECT_EQ(fixtures::readText(output), before) << c.command;
      EXPECT_EQ(fs::status(output).permissions(), static_cast<fs::perms>(mode)) << c.command;
    }
  }
  // Nothing else was written, and the temporary files are gone.
  for (const auto& entry : fs::directory_iterator(f.dir.path())) {
    EXPECT_FALSE(entry.path().filename().string().starts_with(".zorvik-")) << entry.path();
  }
  EXPECT_EQ(fixtures::namesIn(f.dir / "samples").size(), 16u);
  // Write-only is not read-only: it is replaced, and keeps its mode.
  ::chmod((f.dir / "old.zvo").c_str(), 0200);
  r = run(f.in(zorvik("song compile slow.txt old.zvo")));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(fs::status(f.dir / "old.zvo").permissions(), fs::perms::owner_write);
}

TEST(Abuse, NewOutputsTakeTheUmask) {
  Folder f;
  auto r = run(f.in("umask 077 && " + zorvik("song compile slow.txt private.zvo") +
                    " && umask 022 && " + zorvik("song compile slow.txt public.zvo")));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(fs::status(f.dir / "private.zvo").permissions(),
            fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(fs::status(f.dir / "public.zvo").permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                fs::perms::others_read);
}

TEST(Abuse, NoTemporaryFileOutlivesASignalOrTheFileSizeLimit) {
  const std::pair<const char*, int> signals[] = {
      {"INT", SIGINT}, {"TERM", SIGTERM}, {"HUP", SIGHUP}, {"QUIT", SIGQUIT}};
  for (auto [signal, number] : signals) {
    Folder f;
    // Rendered in the background, with job control so that the job takes
    // SIGINT and SIGQUIT, and stopped once its temporary file exists:
    // converting the rate is slow enough to be caught in the middle.
    std::string script = "cd " + shellQuote(f.dir.path().string()) + "; set -m; " +
                         zorvik("render slow.zvo out.wav --seconds 2000 --rate 48000") +
                         " & pid=$!; for i in $(seq 200); do ls -A | grep -q '^\\.zorvik-' && "
                         "break; sleep 0.05; done; kill -" +
                         signal + " $pid; wait $pid; echo status $?";
    auto r = run("bash -c " + shellQuote(script));
    // Ended by the signal itself, once the file is gone.
    EXPECT_EQ(r.out, "status " + std::to_string(128 + number) + "\n") << signal;
    EXPECT_EQ(fixtures::namesIn(f.dir.path()),
              (std::vector<std::string>{"slow.txt", "slow.zvi", "slow.zvo"}))
        << signal;
  }
  Folder f;
  auto r = run(f.in("ulimit -f 256 && " + zorvik("render slow.zvo out.wav --seconds 60")));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "zorvik: cannot write out.wav: File too large\n");
  EXPECT_EQ(fixtures::namesIn(f.dir.path()),
            (std::vector<std::string>{"slow.txt", "slow.zvi", "slow.zvo"}));
}

TEST(Abuse, PastFourGigabytesWavIsRf64AndAiffIsRefused) {
  Folder f;
  // 2.2 G samples: 4.4 GB of data. Only the header is read.
  auto r =
      run(f.in(zorvik("render slow.zvo - --samples 2200000000") + " | head -c 80 | od -An -tx1"));
  std::string header;
  for (char c : r.out) {
    if (c != ' ' && c != '\n') header += c;
  }
  // "RF64", then ds64 holding the RIFF size, the data size and the sample count.
  ASSERT_GE(header.size(), 80u * 2) << r.out << r.err;
  EXPECT_EQ(header.substr(0, 8), "52463634");
  EXPECT_EQ(header.substr(24, 8), "64733634");
  auto le64 = [&](std::size_t byte) {
    std::uint64_t v = 0;
    for (int i = 7; i >= 0; --i)
      v = v * 256 + std::stoul(header.substr(2 * (byte + i), 2), nullptr, 16);
    return v;
  };
  EXPECT_EQ(le64(28), 4400000000u);  // data bytes
  EXPECT_EQ(le64(36), 2200000000u);  // samples
  auto start = std::chrono::steady_clock::now();
  r = run(f.in(zorvik("render slow.zvo big.aiff --samples 2200000000")));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("at most 4 GiB"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find(".flac"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(f.dir / "big.aiff"));
}

TEST(Abuse, RenderToStandardOutputStreams) {
  Folder f;
  auto start = std::chrono::steady_clock::now();
  auto r = run(f.in(zorvik("render slow.zvo - --seconds 100000") + " | head -c 100 | wc -c"));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  EXPECT_EQ(r.out, "100\n");
  EXPECT_EQ(r.err, "");
  // 3000 s is 192 MB of WAV: memory must not grow with it.
  if (kSanitized) return;
  r = run(f.in("ulimit -v 200000 && " + zorvik("render slow.zvo - --seconds 3000") + " | wc -c"));
  EXPECT_EQ(r.out, std::to_string(44 + 2 * 3000 * 32004) + "\n") << r.err;
}

TEST(Abuse, EveryWriteToStandardOutputIsChecked) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  Folder f;
  for (std::string command :
       {"info slow.zvo", "bank list slow.zvi", "--help", "render --help", "--version",
        "song decompile slow.zvo", "song compile slow.txt -", "render slow.zvo - --samples 99"}) {
    auto r = run(f.in(zorvik(command) + " > /dev/full"));
    EXPECT_EQ(r.status, 1) << command;
    EXPECT_NE(r.err.find("No space left on device"), std::string::npos) << command << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << command << r.err;
  }
}

TEST(Abuse, MemoryIsBoundedByTheInputAndItsLackIsAnError) {
  if (kSanitized) GTEST_SKIP() << "memory limits mean nothing under AddressSanitizer";
  Folder f;
  // A 2 GB song text (sparse) is refused before it is read.
  ASSERT_EQ(::truncate(f.text.c_str(), 2'000'000'000), 0);
  auto start = std::chrono::steady_clock::now();
  auto r = run(f.in("ulimit -v 200000 && " + zorvik("song compile slow.txt out.zvo")));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("larger than"), std::string::npos) << r.err;

  // A WAV file that says it holds more than a bank sample can (8000 Hz,
  // 2 G frames: 8 G values at 32004 Hz) is refused before it is read.
  auto sparseWav = [&](const std::string& name, int rate, int bits, std::uint32_t dataBytes) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | (bits == 8 ? SF_FORMAT_PCM_U8 : SF_FORMAT_PCM_16);
    SNDFILE* wav = sf_open((f.dir / name).c_str(), SFM_WRITE, &info);
    ASSERT_NE(wav, nullptr);
    sf_close(wav);
    std::vector<std::uint8_t> head = fixtures::readFile(f.dir / name);
    ASSERT_EQ(head.size(), 44u);
    writeLe32(head.data() + 4, 36 + dataBytes);
    writeLe32(head.data() + 40, dataBytes);
    fixtures::writeFile(f.dir / name, head);
    ASSERT_EQ(::truncate((f.dir / name).c_str(), 44 + static_cast<off_t>(dataBytes)), 0);
  };
  sparseWav("long.wav", 8000, 16, 4'000'000'000u);
  start = std::chrono::steady_clock::now();
  r = run(f.in("ulimit -v 200000 && " + zorvik("bank build --name N --author A b.zvi long.wav")));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_EQ(r.err,
            "zorvik: long.wav: 8001000000 values at 32004 Hz, more than a bank sample holds "
            "(2147483647)\n");
  EXPECT_FALSE(fs::exists(f.dir / "b.zvi"));

  // Bank build converts as it reads: a 50 MB 16-bit WAV becomes a 50 MB
  // bank in less memory than either (it once took five times the input,
  // ten times for 8 bits); to a stream, in little more than the bank.
  sparseWav("big16.wav", 32004, 16, 50'000'000);
  r = run(f.in("ulimit -v 40000 && " + zorvik("bank build -n N -a A b16.zvi big16.wav")));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(fs::file_size(f.dir / "b16.zvi"), kBankDataStart + 50'000'000);
  sparseWav("big8.wav", 32004, 8, 20'000'000);
  r = run(f.in("ulimit -v 90000 && " + zorvik("bank build -n N -a A - big8.wav") + " | wc -c"));
  EXPECT_EQ(r.out, std::to_string(kBankDataStart + 40'000'000) + "\n") << r.err;

  // A 256 MB bank (sparse) whose 16 descriptors all cover the same bytes:
  // read once, not sixteen times.
  fixtures::SampleSet none;
  auto bank = fixtures::bankFile(none);
  for (int k = 0; k < kBankSamples; ++k) {
    writeLe32(bank.data() + descriptorOffset(k, DescriptorField::ByteLength), 256u << 20);
    writeLe32(bank.data() + descriptorOffset(k, DescriptorField::DataOffset), 4096);
  }
  fixtures::writeFile(f.dir / "sparse.zvi", bank);
  ASSERT_EQ(::truncate((f.dir / "sparse.zvi").c_str(), (256 << 20) + 4096), 0);
  r = run(f.in("ulimit -v 400000 && " + zorvik("bank list sparse.zvi") + " | tail -n 1"));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("134217728"), std::string::npos) << r.out << r.err;
}

TEST(Abuse, ExtractIsAllOrNothing) {
  Folder f;
  fs::create_directories(f.dir / "out" / "05-f.wav");  // in the way
  fixtures::writeFile(f.dir / "out" / "00-a.wav", std::vector<std::uint8_t>{'o', 'l', 'd'});
  auto r = run(f.in(zorvik("bank extract slow.zvi out")));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("05-f.wav"), std::string::npos) << r.err;
  EXPECT_EQ(fixtures::namesIn(f.dir / "out"), (std::vector<std::string>{"00-a.wav", "05-f.wav"}));
  EXPECT_EQ(fixtures::readText(f.dir / "out" / "00-a.wav"), "old");
}

TEST(Abuse, BankBuildSaysWhatHappened) {
  Folder f;
  // One float file holding NaN and infinities, one 11 s long, the rest short.
  auto write = [&](const std::string& name, std::vector<float> values) {
    SF_INFO info{};
    info.samplerate = 32004;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* file = sf_open((f.dir / name).c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr);
    sf_write_float(file, values.data(), static_cast<sf_count_t>(values.size()));
    sf_close(file);
  };
  const float inf = std::numeric_limits<float>::infinity();
  write("odd.wav", {0.5f, std::nanf(""), inf, -inf, std::nanf(""), 2.0f});
  write("long.wav", std::vector<float>(11 * 32004, 0.1f));
  write("short.wav", {0.1f, 0.2f});
  std::string files = " odd.wav long.wav";
  for (int k = 2; k < 16; ++k) files += " short.wav";
  auto r = run(f.in(zorvik("bank build --name N --author A b.zvi" + files)));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("odd.wav: 1 values clipped to 16 bits"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("odd.wav: 2 NaN values made 0"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("odd.wav: 2 infinite values clipped"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("long.wav: 11.0 seconds long"), std::string::npos) << r.err;

  r = run(f.in(zorvik("bank build --name N --author A c.zvi missing.wav" + files.substr(8))));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "zorvik: cannot read missing.wav: No such file or directory\n");
}

TEST(Abuse, TextFromFilesNeverDrivesTheTerminal) {
  Folder f;
  Song s = fixtures::emptySong(1, "\x1b]2;owned\x07\x1b[2J",
                               "\x9b"
                               "31m",
                               "x\x1b.zvi");
  fixtures::writeFile(f.dir / "evil.zvo", fixtures::songFile(s));
  fixtures::writeFile(f.dir / "evil.zvi",
                      fixtures::bankFile(fixtures::countingSamples(1), "\x1b[5n", "\x7f"));
  for (std::string command : {"info evil.zvo", "bank list evil.zvi"}) {
    auto r = run(f.in(zorvik(command)));
    EXPECT_EQ(r.status, 0) << command;
    for (unsigned char c : r.out) {
      EXPECT_FALSE(c == 0x1b || c == 0x07 || c == 0x7f || (c >= 0x80 && c < 0xa0))
          << command << ": " << r.out;
    }
    EXPECT_NE(r.out.find("\\x1b"), std::string::npos) << command << ": " << r.out;
  }
}

// Reads of /proc/self/mem at address 0 fail with EIO: an input that cannot
// be read is an error that says so, never a file that seems empty.
TEST(Abuse, AnInputThatFailsToReadIsAnError) {
  if (!fs::exists("/proc/self/mem")) GTEST_SKIP() << "no /proc/self/mem";
  Folder f;
  for (std::string command :
       {"info /proc/self/mem", "song decompile /proc/self/mem", "song compile /proc/self/mem x.zvo",
        "render /proc/self/mem x.wav", "render slow.zvo x.wav --bank /proc/self/mem",
        "bank list /proc/self/mem", "bank extract /proc/self/mem out"}) {
    auto r = run(f.in(zorvik(command)));
    EXPECT_EQ(r.status, 1) << command;
    EXPECT_EQ(r.err, "zorvik: cannot read /proc/self/mem: Input/output error\n") << command;
  }
  EXPECT_EQ(fixtures::namesIn(f.dir.path()),
            (std::vector<std::string>{"slow.txt", "slow.zvi", "slow.zvo"}));
}

TEST(Abuse, FileNamesInMessagesNeverDriveTheTerminal) {
  Folder f;
  // Names that would clear the screen, set the window's title or start a
  // C1 control sequence, were they echoed as they are.
  const std::string clear = "\x1b[2J";
  const std::string title = "\x1b]2;owned\x07";
  const std::string csi =
      "\xc2\x9b"
      "31m";
  fixtures::writeFile(f.dir / (clear + ".txt"), std::vector<std::uint8_t>{'b', 'a', 'd'});
  fs::copy_file(f.text, f.dir / (title + ".txt"));
  auto q = [](const std::string& name) { return shellQuote(name); };
  std::string wavs;
  for (int k = 0; k < kBankSamples; ++k) wavs += " " + q((k == 0 ? clear : csi) + ".wav");
  const std::string cases[] = {
      "info " + q(clear + ".zvo"),                                    // cannot read
      "render " + q(clear + ".txt") + " out.wav",                     // a bad text
      "render slow.zvo " + q(csi + "/out.wav"),                       // cannot write
      "render slow.zvo " + q(title + ".xyz"),                         // no format
      "song compile " + q(clear + ".txt") + " out.zvo",               // a bad text
      "song compile " + q(title + ".txt") + " " + q(title + ".txt"),  // input as output
      "song decompile slow.zvo " + q(csi + "/out.txt"),               // cannot write
      "bank list " + q(title + ".zvi"),                               // cannot read
      "bank build -n N -a A b.zvi" + wavs,                            // cannot read
      "bank extract slow.zvi " + q(clear + "/" + csi),                // cannot make
  };
  fixtures::writeFile(f.dir / clear, std::vector<std::uint8_t>{});  // a file in the way
  for (const std::string& command : cases) {
    auto r = run(f.in(zorvik(command)));
    EXPECT_NE(r.status, 0) << command;
    ASSERT_FALSE(r.err.empty()) << command;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << command << ": " << r.err;
    for (unsigned char c : r.err.substr(0, r.err.size() - 1)) {
      EXPECT_FALSE(c < 0x20 || c == 0x7f || (c >= 0x80 && c < 0xa0)) << command << ": " << r.err;
    }
    EXPECT_NE(r.err.find("\\x"), std::string::npos) << command << ": " << r.err;
  }
}

}  // namespace
}  // namespace zorvik
