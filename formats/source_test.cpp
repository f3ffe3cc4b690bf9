#include "formats/source.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <filesystem>

#include "formats/bank.hpp"
#include "formats/error.hpp"
#include "formats/song.hpp"
#include "testing/fixtures.hpp"

namespace zorvik {
namespace {

const std::vector<std::uint8_t> kBytes = {1, 2, 3, 4, 5};

// The same five bytes in memory and in a file.
struct Sources {
  fixtures::TempDir dir;
  MemorySource memory{kBytes};
  std::optional<FileSource> file = write(dir);

  static std::optional<FileSource> write(const fixtures::TempDir& dir) {
    fixtures::writeFile(dir / "bytes", kBytes);
    return FileSource::open((dir / "bytes").string());
  }
};

TEST(Source, ReadsAreClippedAndZeroFilledAtTheEnd) {
  Sources s;
  ASSERT_TRUE(s.file);
  struct Case {
    std::uint64_t offset;
    std::size_t n;
    std::size_t got;
    std::array<std::uint8_t, 4> filled;
  } cases[] = {
      {0, 4, 4, {1, 2, 3, 4}},
      {3, 4, 2, {4, 5, 0, 0}},
      {5, 4, 0, {0, 0, 0, 0}},
      {~std::uint64_t{0}, 4, 0, {0, 0, 0, 0}},  // no overflow past the end
  };
  for (const Source* source :
       {static_cast<const Source*>(&s.memory), static_cast<const Source*>(&*s.file)}) {
    EXPECT_EQ(source->size(), 5u);
    for (const auto& c : cases) {
      std::array<std::uint8_t, 4> buffer;
      buffer.fill(0xEE);
      EXPECT_EQ(source->readAt(c.offset, buffer.data(), c.n), c.got) << c.offset;
      buffer.fill(0xEE);
      source->readZeroFilled(c.offset, buffer.data(), c.n);
      EXPECT_EQ(buffer, c.filled) << c.offset;
    }
  }
}

// An empty sample's storage is an empty vector, whose data() may be null:
// reading zero bytes into it must touch nothing (the sanitizer build fails
// on a memset of a null pointer, even of zero bytes).
TEST(Source, EmptyReadIntoNullTouchesNothing) {
  Sources s;
  ASSERT_TRUE(s.file);
  for (const Source* source :
       {static_cast<const Source*>(&s.memory), static_cast<const Source*>(&*s.file)}) {
    for (std::uint64_t offset : {std::uint64_t{0}, std::uint64_t{5}, std::uint64_t{1} << 40}) {
      EXPECT_EQ(source->readAt(offset, nullptr, 0), 0u);
      source->readZeroFilled(offset, nullptr, 0);
    }
  }
}

// Only a regular file opens, and opening never blocks: both loaders report
// anything else as a file they cannot open.
TEST(FileSource, OnlyRegularReadableFilesOpen) {
  fixtures::TempDir dir;
  fixtures::writeFile(dir / "song.zvo", fixtures::songFile(fixtures::emptySong()));
  fixtures::writeFile(dir / "bank.zvi", fixtures::bankFile(fixtures::countingSamples(2)));
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
  std::filesystem::create_directory(dir / "folder");
  std::filesystem::create_symlink(dir / "song.zvo", dir / "link.zvo");

  struct Case {
    std::string path;
    bool opens;
  } cases[] = {
      {(dir / "song.zvo").string(), true},
      {(dir / "link.zvo").string(), true},  // a link to a regular file is that file
      {(dir / "missing").string(), false},
      {(dir / "folder").string(), false},
      {(dir / "fifo").string(), false},  // no writer: a blocking open would hang here
      {"/dev/null", false},
      {"/dev/zero", false},  // endless: must not be read
      {"", false},
  };
  for (const auto& c : cases) {
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(FileSource::open(c.path).has_value(), c.opens) << c.path;
    if (!c.opens) {
      EXPECT_THROW(loadSong(c.path), LoadError) << c.path;
      EXPECT_THROW(loadSampleBankFile(c.path), LoadError) << c.path;
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1)) << c.path;
  }
}

TEST(FileSource, UnreadableFilesDoNotOpen) {
  if (::geteuid() == 0) GTEST_SKIP() << "root reads files whatever their mode";
  fixtures::TempDir dir;
  fixtures::writeFile(dir / "song.zvo", fixtures::songFile(fixtures::emptySong()));
  fixtures::writeFile(dir / "default.zvi", fixtures::bankFile(fixtures::countingSamples(2)));
  std::filesystem::permissions(dir / "song.zvo", std::filesystem::perms::none);
  std::filesystem::permissions(dir / "default.zvi", std::filesystem::perms::none);

  EXPECT_FALSE(FileSource::open((dir / "song.zvo").string()));
  try {
    loadSong((dir / "song.zvo").string());
    ADD_FAILURE() << "an unreadable song loaded";
  } catch (const LoadError& e) {
    EXPECT_STREQ(e.what(), "file not found");
  }
  try {
    loadSampleBank(dir.path().string() + "/", "default.zvi");
    ADD_FAILURE() << "an unreadable bank loaded";
  } catch (const LoadError& e) {
    EXPECT_STREQ(e.what(), "error loading file");
  }
}

// /proc/self/mem is a regular file whose reads at address 0 fail with EIO:
// a failed read is an error for every loader, never zeros or a short file.
TEST(FileSource, AFailedReadIsAnError) {
  const std::string path = "/proc/self/mem";
  auto file = FileSource::open(path);
  if (!file) GTEST_SKIP() << "no " << path;
  const std::pair<const char*, void (*)(const Source&)> readers[] = {
      {"readAt",
       [](const Source& s) {
         std::array<std::uint8_t, 4> b{};
         s.readAt(0, b.data(), 4);
       }},
      {"readSong", [](const Source& s) { readSong(s); }},
      {"readSampleBank", [](const Source& s) { readSampleBank(s); }},
  };
  for (const auto& [what, read] : readers) {
    try {
      read(*file);
      ADD_FAILURE() << what << " read nothing and said nothing";
    } catch (const ReadError& e) {
      EXPECT_EQ(e.error(), EIO) << what;
      EXPECT_STREQ(e.what(), "cannot read the file: Input/output error") << what;
    }
  }
  try {
    loadSong(path);
    ADD_FAILURE() << "loadSong read nothing and said nothing";
  } catch (const LoadError& e) {  // what zorvikpla reports
    EXPECT_STREQ(e.what(), "cannot read the file: Input/output error");
  }
}

}  // namespace
}  // namespace zorvik
