#include "formats/song.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>

#include "formats/error.hpp"
#include "testing/fixtures.hpp"

namespace zorvik {
namespace {

using fixtures::songFile;

std::string loadMessage(const std::vector<std::uint8_t>& bytes) {
  try {
    readSong(MemorySource(bytes));
  } catch (const LoadError& e) {
    return e.what();
  }
  return "loaded";
}

TEST(LoadSong, HeadTestsInOrderWithTheirMessages) {
  const std::vector<std::uint8_t> body(673, 0);
  const std::string tooNew =
      "too new version of the format, this version only suports fileformat v2 max";
  struct Case {
    const char* what;
    std::vector<std::uint8_t> bytes;
    std::string message;
  } cases[] = {
      {"empty file", {}, "not a valid .zvo file"},
      {"shorter than the magic", {'z', 'v', 'k'}, "not a valid .zvo file"},
      {"bank magic", songFile(2, body, 0, 0x696B767A), "not a valid .zvo file"},
      {"compression before version 0", songFile(0, body, 1), "no compression supported yet"},
      {"compression with version 2", songFile(2, body, 7), "no compression supported yet"},
      {"compression with version 3", songFile(3, body, 1), "no compression supported yet"},
      {"version 0", songFile(0, body), "not a valid version number"},
      {"version 3", songFile(3, body), tooNew},
      {"version FFFF", songFile(0xFFFF, body), tooNew},
      {"version 256 (byte order)", songFile(0x0100, body), tooNew},
      {"version 1", songFile(1, body), "loaded"},
      {"version 2", songFile(2, body), "loaded"},
      {"head only, body missing", songFile(2, {}), "loaded"},
  };
  for (const auto& c : cases) EXPECT_EQ(loadMessage(c.bytes), c.message) << c.what;
}

std::vector<std::uint8_t> patternBytes(std::size_t n) {
  std::vector<std::uint8_t> bytes(n);
  for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + 3);
  return bytes;
}

TEST(LoadSong, Version2BodyIsTheSongByteForByteAndTrailingBytesAreIgnored) {
  auto body = patternBytes(673);
  auto file = songFile(2, body);
  file.insert(file.end(), {1, 2, 3, 4, 5});
  Song song = readSong(MemorySource(file));
  EXPECT_EQ(std::memcmp(&song, body.data(), sizeof song), 0);
}

TEST(LoadSong, Version1IsUpgradedToTheVersion2Layout) {
  auto body = patternBytes(641);
  Song song = readSong(MemorySource(songFile(1, body)));
  const auto* s = reinterpret_cast<const std::uint8_t*>(&song);
  EXPECT_EQ(std::memcmp(s, body.data(), 64), 0);             // title, author
  EXPECT_EQ(std::memcmp(s + 96, body.data() + 64, 577), 0);  // cells, tempo
  const char bank[32] = "default.zvi";                       // and 21 zero bytes
  EXPECT_EQ(std::memcmp(s + 64, bank, 32), 0);
}

TEST(LoadSong, MissingBytesReadAsZeros) {
  auto file = songFile(2, patternBytes(100));
  Song song = readSong(MemorySource(file));
  const auto* s = reinterpret_cast<const std::uint8_t*>(&song);
  for (std::size_t i = 100; i < sizeof song; ++i) ASSERT_EQ(s[i], 0) << i;
}

TEST(LoadSong, TextFieldWithoutZeroByteIsAtMost32Bytes) {
  Song song = fixtures::emptySong();
  song.title.fill('x');
  song.author = makeTextField("Anon");
  EXPECT_EQ(textOf(song.title), std::string(32, 'x'));
  EXPECT_EQ(textOf(song.author), "Anon");
}

TEST(LoadSong, FilesOnDisk) {
  fixtures::TempDir dir;
  Song song = fixtures::emptySong(42, "Title", "Author", "drums.zvi");
  fixtures::writeFile(dir / "song.txt", fixtures::songFile(song));  // extension is not looked at
  fixtures::writeFile(dir / "bad.zvo", std::vector<std::uint8_t>{'x', 'v', 'k', 'o', 2, 0, 0});
  EXPECT_EQ(loadSong((dir / "song.txt").string()).tempo, 42);

  struct Case {
    std::string path;
    std::string message;
  } cases[] = {
      {(dir / "missing.zvo").string(), "file not found"},
      {dir.path().string(), "file not found"},  // a folder does not open as a file
      {(dir / "bad.zvo").string(), "not a valid .zvo file"},
  };
  for (const auto& c : cases) {
    try {
      loadSong(c.path);
      ADD_FAILURE() << c.path << " loaded";
    } catch (const LoadError& e) {
      EXPECT_EQ(std::string(e.what()), c.message) << c.path;
    }
  }
}

TEST(LoadSong, FifoIsNotFoundInsteadOfBlocking) {
  fixtures::TempDir dir;
  auto fifo = dir / "pipe.zvo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_THROW(loadSong(fifo.string()), LoadError);
}

}  // namespace
}  // namespace zorvik
