#include "formats/bank.hpp"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <chrono>
#include <cstring>

#include "formats/bytes.hpp"
#include "formats/error.hpp"
#include "testing/fixtures.hpp"

namespace zorvik {
namespace {

using fixtures::bankFile;
using fixtures::countingSamples;

std::size_t descriptorField(int k, int field) {
  return descriptorOffset(k, static_cast<DescriptorField>(field));
}

std::string loadMessage(const std::vector<std::uint8_t>& bytes) {
  try {
    readSampleBank(MemorySource(bytes));
  } catch (const LoadError& e) {
    return e.what();
  }
  return "loaded";
}

TEST(LoadSampleBank, FailuresInOrderWithTheirMessages) {
  const auto good = bankFile(countingSamples(4));
  auto with = [&](std::initializer_list<std::pair<std::size_t, std::uint32_t>> fields,
                  std::initializer_list<std::pair<std::size_t, std::uint8_t>> bytes = {}) {
    auto b = good;
    for (auto [at, v] : fields) writeLe32(b.data() + at, v);
    for (auto [at, v] : bytes) b[at] = v;
    return b;
  };
  const std::string tooNew =
      "too new version of the format, this version only suports fileformat v1 max";
  const std::string bits = "only 16 bit samples supported at the moment";
  const std::string rate = "only 32khz samples supported atm";
  struct Case {
    const char* what;
    std::vector<std::uint8_t> bytes;
    std::string message;
  } cases[] = {
      {"empty", {}, "not a valid .zvi file"},
      {"song magic", with({{0, kSongMagic}}), "not a valid .zvi file"},
      {"compression before version 0", with({}, {{4, 0}, {6, 1}}), "no compression supported yet"},
      {"version 0", with({}, {{4, 0}}), "not a valid version number"},
      {"version 2", with({}, {{4, 2}}), tooNew},
      {"version FFFF", with({}, {{4, 0xFF}, {5, 0xFF}}), tooNew},
      {"8 bits, any rate", with({{descriptorField(0, 1), 8}, {descriptorField(0, 2), 1}}), bits},
      {"16 bits at 32000 Hz", with({{descriptorField(3, 2), 32000}}), rate},
      {"bits tested before rate",
       with({{descriptorField(15, 1), 24}, {descriptorField(15, 2), 44100}}), bits},
      {"reserved bytes are anything",
       with({}, {{kBankReservedOffset, 0xAB}, {kBankReservedOffset + 8, 0xCD}}), "loaded"},
      {"header cut inside descriptor 7", {good.begin(), good.begin() + 195}, bits},
  };
  for (const auto& c : cases) EXPECT_EQ(loadMessage(c.bytes), c.message) << c.what;
}

TEST(LoadSampleBank, SamplesComeFromTheirDescriptors) {
  auto bytes = bankFile(countingSamples(5), "Drums", "Anon");
  const std::uint32_t start = static_cast<std::uint32_t>(kBankDataStart);
  writeLe32(bytes.data() + descriptorField(1, 0), 0);      // byteLength 0
  writeLe32(bytes.data() + descriptorField(2, 0), 7);      // odd: 3 values
  writeLe32(bytes.data() + descriptorField(3, 3), start);  // same block as sample 0
  writeLe32(bytes.data() + descriptorField(4, 3), 0);      // points at the magic
  writeLe32(bytes.data() + descriptorField(4, 0), 4);

  SampleBank bank = readSampleBank(MemorySource(bytes));
  ASSERT_EQ(bank.samples.size(), 16u);
  EXPECT_EQ(textOf(bank.header.name), "Drums");
  EXPECT_EQ(textOf(bank.header.author), "Anon");
  EXPECT_EQ(bank.samples[0].values(), (std::vector<std::int16_t>{0, 1, 2, 3, 4}));
  EXPECT_EQ(bank.samples[1].length, 0u);
  EXPECT_EQ(bank.samples[2].values(), (std::vector<std::int16_t>{200, 201, 202}));
  // The same block twice is stored once.
  EXPECT_EQ(bank.samples[3].values(), bank.samples[0].values());
  EXPECT_EQ(bank.samples[3].data.bytes(), bank.samples[0].data.bytes());
  EXPECT_EQ(bank.samples[4].values(), (std::vector<std::int16_t>{0x767A, 0x696B}));  // "zvki"
  EXPECT_EQ(bank.samples[15].values(), (std::vector<std::int16_t>{1500, 1501, 1502, 1503, 1504}));
  EXPECT_EQ(std::memcmp(&bank.header, bytes.data() + 7, sizeof bank.header), 0);
}

TEST(LoadSampleBank, BlocksInReverseOrderLoadTheSame) {
  auto samples = countingSamples(3);
  auto forward = bankFile(samples);
  auto reverse = forward;
  for (int k = 0; k < 16; ++k) {
    std::uint32_t offset = static_cast<std::uint32_t>(kBankDataStart + 6 * (15 - k));
    writeLe32(reverse.data() + descriptorField(k, 3), offset);
    for (int i = 0; i < 3; ++i)
      writeLe16(reverse.data() + offset + 2 * i, static_cast<std::uint16_t>(samples[k][i]));
  }
  auto a = readSampleBank(MemorySource(forward));
  auto b = readSampleBank(MemorySource(reverse));
  for (int k = 0; k < 16; ++k) EXPECT_EQ(a.samples[k].values(), b.samples[k].values()) << k;
}

TEST(LoadSampleBank, BadDescriptor15IsReportedAfterTheOthersAreRead) {
  // Descriptors 0 to 14 claim more than the file holds; their reads are
  // clipped, then descriptor 15 fails.
  auto bytes = bankFile(countingSamples(2));
  for (int k = 0; k < 15; ++k) writeLe32(bytes.data() + descriptorField(k, 0), 0xFFFFFFFF);
  writeLe32(bytes.data() + descriptorField(15, 2), 32000);
  EXPECT_EQ(loadMessage(bytes), "only 32khz samples supported atm");
}

TEST(LoadSampleBank, BlockPastTheEndKeepsOnlyWhatTheFileHolds) {
  auto bytes = bankFile(countingSamples(2));
  bytes.resize(400);
  writeLe32(bytes.data() + descriptorField(0, 0), 0xFFFFFFFE);  // claims 4 GiB
  writeLe32(bytes.data() + descriptorField(1, 3), 399);         // one byte left: half a value
  writeLe32(bytes.data() + descriptorField(2, 3), 5000);        // wholly past the end
  bytes[399] = 0x34;

  struct rusage before {
  }, after{};
  ::getrusage(RUSAGE_SELF, &before);
  auto start = std::chrono::steady_clock::now();
  SampleBank bank = readSampleBank(MemorySource(bytes));
  auto elapsed = std::chrono::steady_clock::now() - start;
  ::getrusage(RUSAGE_SELF, &after);

  EXPECT_EQ(bank.samples[0].length, (400 - kBankDataStart) / 2);
  EXPECT_EQ(bank.samples[0].data[0], 0);
  EXPECT_EQ(bank.samples[1].values(), (std::vector<std::int16_t>{0x34}));
  EXPECT_EQ(bank.samples[2].length, 0u);
  EXPECT_LT(elapsed, std::chrono::seconds(1));
  EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 64 * 1024);  // KiB
}

TEST(LoadSampleBank, OverlappingBlocksShareStorageWhateverTheirAlignment) {
  // 16 descriptors over the same 1 MiB, at odd and even offsets: the bank
  // holds that MiB once, not sixteen times.
  std::vector<std::uint8_t> bytes = bankFile(countingSamples(0));
  bytes.resize(kBankDataStart + (1 << 20), 0x11);
  for (int k = 0; k < kBankSamples; ++k) {
    writeLe32(bytes.data() + descriptorField(k, 0), (1 << 20) - 2 * k);
    writeLe32(bytes.data() + descriptorField(k, 3), static_cast<std::uint32_t>(kBankDataStart + k));
  }
  SampleBank bank = readSampleBank(MemorySource(bytes));
  EXPECT_LE(bank.storage.size(), bytes.size());
  for (int k = 0; k < kBankSamples; ++k) {
    EXPECT_EQ(bank.samples[k].length, (1u << 19) - static_cast<unsigned>(k)) << k;
    EXPECT_EQ(bank.samples[k].data[0], 0x1111) << k;
  }
}

TEST(LoadSampleBank, SampleLayoutLimitsOf32BitFields) {
  // Sample 0 this long makes sample 1 start at 0xFFFFFFFE, the last even
  // offset a descriptor holds.
  const std::uint64_t fillsOffsets = (0xFFFFFFFEu - kBankDataStart) / 2;
  struct Case {
    const char* what;
    std::vector<std::uint64_t> lengths;
    const char* problem;  // part of the message, or nullptr when it fits
  } cases[] = {
      {"all empty", std::vector<std::uint64_t>(16, 0), nullptr},
      {"one at the limit", {kMaxSampleValues}, nullptr},
      {"one past the limit", {kMaxSampleValues + 1}, "sample 0 has 2147483648 values"},
      {"next starts at the last offset", {fillsOffsets, 1}, nullptr},
      {"one after it starts past 4 GiB", {fillsOffsets, 1, 0}, "sample 2 would start past"},
  };
  for (const auto& c : cases) {
    std::string problem;
    try {
      checkBankLayout(c.lengths);
    } catch (const Error& e) {
      problem = e.what();
    }
    if (c.problem == nullptr) {
      EXPECT_EQ(problem, "") << c.what;
    } else {
      EXPECT_NE(problem.find(c.problem), std::string::npos) << c.what << ": " << problem;
    }
  }
}

TEST(BankNames, ANameThatWouldLeaveItsFolderIsNotLookedUp) {
  const std::pair<const char*, bool> cases[] = {
      {"drums.zvi", true},     {"sub/drums.zvi", true}, {"a/b/c.zvi", true},
      {"..drums.zvi", true},   {"x..zvi", true},        {"", true},
      {"../drums.zvi", false}, {"..", false},           {"sub/../../x.zvi", false},
      {"/etc/x.zvi", false},   {"sub/..", false},       {"a//../b", false},
  };
  for (auto [name, stays] : cases) {
    EXPECT_EQ(staysInFolder(name, false), stays) << name;
    EXPECT_EQ(staysInFolder(name, true), stays) << name;
  }
}

TEST(BankNames, WindowsRulesAlsoRefuseBackslashesDrivesAndStreams) {
  // name, stays by POSIX rules, stays by Windows rules
  const std::tuple<const char*, bool, bool> cases[] = {
      {"sub\\drums.zvi", true, true},  {"..\\drums.zvi", true, false},
      {"sub\\..\\..\\x", true, false}, {"\\x.zvi", true, false},
      {"\\\\server\\x", true, false},  {"C:x.zvi", true, false},
      {"C:\\x.zvi", true, false},      {"x.zvi:stream", true, false},
      {"...\\x.zvi", true, false},     {".. /x.zvi", true, false},
      {"a.b.zvi", true, true},         {".hidden.zvi", true, true},
  };
  for (auto [name, posix, windows] : cases) {
    EXPECT_EQ(staysInFolder(name, false), posix) << name;
    EXPECT_EQ(staysInFolder(name, true), windows) << name;
  }
}

class BankFolder : public ::testing::Test {
 protected:
  fixtures::TempDir dir;
  std::string folder = dir.path().string() + "/";
  void write(const char* name, const std::vector<std::uint8_t>& bytes) {
    fixtures::writeFile(dir / name, bytes);
  }
  std::string load(const std::string& name) {
    try {
      return std::string(textOf(loadSampleBank(folder, name).header.name));
    } catch (const LoadError& e) {
      return std::string("error: ") + e.what();
    }
  }
};

TEST_F(BankFolder, NamedBankWithDefaultAsFallback) {
  write("default.zvi", bankFile(countingSamples(1), "Default"));
  write("drums.zvi", bankFile(countingSamples(1), "Drums"));
  write("broken.zvi", {'n', 'o', 'p', 'e'});
  std::filesystem::create_directory(dir / "folder.zvi");
  EXPECT_EQ(load("drums.zvi"), "Drums");
  EXPECT_EQ(load("missing.zvi"), "Default");
  EXPECT_EQ(load(""), "Default");                                 // names the folder itself
  EXPECT_EQ(load("folder.zvi"), "Default");                       // a folder does not open
  EXPECT_EQ(load("broken.zvi"), "error: not a valid .zvi file");  // no fallback
}

TEST_F(BankFolder, NamesLeavingTheFolderFallBackToTheDefault) {
  write("default.zvi", bankFile(countingSamples(1), "Default"));
  std::filesystem::create_directory(dir / "sub");
  write("sub/inner.zvi", bankFile(countingSamples(1), "Inner"));
  write("outer.zvi", bankFile(countingSamples(1), "Outer"));
  folder = (dir / "sub").string() + "/";
  write("sub/default.zvi", bankFile(countingSamples(1), "Default"));
  EXPECT_EQ(load("inner.zvi"), "Inner");
  EXPECT_EQ(load("../outer.zvi"), "Default");
  EXPECT_EQ(load((dir / "outer.zvi").string()), "Default");
}

TEST_F(BankFolder, NeitherBankOpens) {
  EXPECT_EQ(load("drums.zvi"), "error: error loading file");
  EXPECT_EQ(load(""), "error: error loading file");
}

}  // namespace
}  // namespace zorvik
