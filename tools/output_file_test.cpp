// Outputs written whole or not at all, in place of what they replace and
// only that: modes, links, FIFOs, devices, and outputs that are inputs.

#include "tools/output_file.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "testing/fixtures.hpp"

namespace zorvik::tool {
namespace {

namespace fs = std::filesystem;

void write(const std::string& path, const std::string& text) {
  writeOutputFile(path, {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
}

mode_t modeOf(const fs::path& path) {
  struct stat st {};
  ::lstat(path.c_str(), &st);
  return st.st_mode;
}

TEST(OutputFile, ModesFollowTheUmaskOrTheReplacedFile) {
  fixtures::TempDir dir;
  struct Case {
    mode_t umask;
    std::optional<mode_t> existing;
    mode_t expected;
  } cases[] = {{022, std::nullopt, 0644}, {077, std::nullopt, 0600}, {002, std::nullopt, 0664},
               {077, 0640, 0640},         {022, 0600, 0600},         {000, 0755, 0755}};
  int i = 0;
  for (const auto& c : cases) {
    fs::path path = dir / ("out" + std::to_string(i++));
    if (c.existing) {
      fixtures::writeFile(path, std::vector<std::uint8_t>{'o', 'l', 'd'});
      ::chmod(path.c_str(), *c.existing);
    }
    mode_t old = ::umask(c.umask);
    write(path.string(), "new");
    ::umask(old);
    EXPECT_EQ(modeOf(path) & 07777, c.expected) << path;
    EXPECT_EQ(fixtures::readText(path), "new");
  }
}

TEST(OutputFile, ALinkKeepsPointingAtItsReplacedTarget) {
  fixtures::TempDir dir;
  fs::create_directory(dir / "real");
  fixtures::writeFile(dir / "real" / "song.zvo", std::vector<std::uint8_t>{'o', 'l', 'd'});
  fs::create_symlink("real/song.zvo", dir / "link.zvo");
  fs::create_symlink("link.zvo", dir / "link2.zvo");         // a chain
  fs::create_symlink("real/new.zvo", dir / "dangling.zvo");  // a target yet to be made
  write((dir / "link2.zvo").string(), "through two links");
  write((dir / "dangling.zvo").string(), "made");
  EXPECT_TRUE(fs::is_symlink(dir / "link.zvo"));
  EXPECT_TRUE(fs::is_symlink(dir / "link2.zvo"));
  EXPECT_TRUE(fs::is_symlink(dir / "dangling.zvo"));
  EXPECT_EQ(fixtures::readText(dir / "real" / "song.zvo"), "through two links");
  EXPECT_EQ(fixtures::readText(dir / "real" / "new.zvo"), "made");
  EXPECT_EQ(fixtures::namesIn(dir / "real"), (std::vector<std::string>{"new.zvo", "song.zvo"}));

  fs::create_symlink("loop", dir / "loop");
  EXPECT_THROW(write((dir / "loop").string(), "x"), Error);
}

TEST(OutputFile, AFifoIsWrittenStraightThroughAndStaysAFifo) {
  fixtures::TempDir dir;
  fs::path fifo = dir / "pipe.wav";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::string received;
  std::thread reader([&] { received = fixtures::readText(fifo); });
  write(fifo.string(), "streamed");
  reader.join();
  EXPECT_EQ(received, "streamed");
  EXPECT_TRUE(S_ISFIFO(modeOf(fifo)));
  EXPECT_EQ(fixtures::namesIn(dir.path()), std::vector<std::string>{"pipe.wav"});
}

TEST(OutputFile, ACharacterDeviceIsWrittenNotReplaced) {
  fixtures::TempDir dir;
  fs::path device = dir / "null";
  // A node of our own for the null device, so the real /dev/null is never at risk.
  if (::mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0) {
    GTEST_SKIP() << "cannot make a device node here (not root)";
  }
  write(device.string(), "into the void");
  EXPECT_TRUE(S_ISCHR(modeOf(device)));
  EXPECT_EQ(fixtures::namesIn(dir.path()), std::vector<std::string>{"null"});
}

TEST(OutputFile, FolderAndOtherKindsAreRefused) {
  fixtures::TempDir dir;
  fs::create_directory(dir / "folder.wav");
  EXPECT_THROW(write((dir / "folder.wav").string(), "x"), Error);
  EXPECT_THROW(write((dir / "no" / "such" / "folder.wav").string(), "x"), Error);
  EXPECT_EQ(fixtures::namesIn(dir.path()), std::vector<std::string>{"folder.wav"});
}

TEST(OutputFile, NothingIsLeftUnlessCommitted) {
  fixtures::TempDir dir;
  fixtures::writeFile(dir / "keep.wav", std::vector<std::uint8_t>{'o', 'l', 'd'});
  {
    OutputFile out((dir / "keep.wav").string());
    out.write(std::vector<std::uint8_t>{'n', 'e', 'w'});
  }
  {
    OutputFile out((dir / "fresh.wav").string());
    out.write(std::vector<std::uint8_t>{'n', 'e', 'w'});
    out.discard();
  }
  EXPECT_EQ(fixtures::namesIn(dir.path()), std::vector<std::string>{"keep.wav"});
  EXPECT_EQ(fixtures::readText(dir / "keep.wav"), "old");
}

TEST(OutputFile, ALongestNameStillFits) {
  // The temporary name is short, whatever the output's own name.
  fixtures::TempDir dir;
  long max = ::pathconf(dir.path().c_str(), _PC_NAME_MAX);
  std::string name(static_cast<std::size_t>(max) - 4, 'n');
  name += ".zvo";
  write((dir / name).string(), "fits");
  EXPECT_EQ(fixtures::readText(dir / name), "fits");
}

TEST(OutputFile, AnOutputThatIsAnInputIsRefused) {
  constexpr CommandSpec spec{"song compile", "TEXT OUT", "", "", {}, 2, 2, {}};
  fixtures::TempDir dir;
  fixtures::writeFile(dir / "a.txt", std::vector<std::uint8_t>{'a'});
  fixtures::writeFile(dir / "b.txt", std::vector<std::uint8_t>{'b'});
  fs::create_hard_link(dir / "a.txt", dir / "hard.txt");
  fs::create_symlink("a.txt", dir / "soft.txt");
  const std::string a = (dir / "a.txt").string();
  struct Case {
    std::string output;
    std::vector<std::string> inputs;
    bool refused;
  } cases[] = {
      {a, {a}, true},
      {(dir / "hard.txt").string(), {a}, true},
      {(dir / "soft.txt").string(), {a}, true},
      {a, {(dir / "soft.txt").string()}, true},
      {(dir / "." / "a.txt").string(), {a}, true},
      {(dir / "b.txt").string(), {a}, false},
      {(dir / "new.txt").string(), {a}, false},
      {"-", {a, "-"}, false},
  };
  for (const auto& c : cases) {
    bool refused = false;
    try {
      refuseInputAsOutput(spec, c.output, c.inputs);
    } catch (const UsageError& e) {
      refused = true;
      EXPECT_NE(std::string(e.what()).find("is also an input"), std::string::npos);
    }
    EXPECT_EQ(refused, c.refused) << c.output;
  }
}

}  // namespace
}  // namespace zorvik::tool
