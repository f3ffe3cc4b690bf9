// The demo songs with the default bank, as they have always sounded: one
// loop of each through the per-sample mixer and through the block mixer,
// against a checksum kept here. A change to pitch, mixing or step timing
// that moves a single sample shows up.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "engine/block_mixer.hpp"
#include "engine/mixer.hpp"
#include "engine/playback.hpp"
#include "formats/song_text.hpp"
#include "testing/fixtures.hpp"
#include "testing/run.hpp"

namespace zorvik {
namespace {

std::string readText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// FNV-1a over the samples' little-endian bytes.
struct Checksum {
  std::uint64_t value = 0xcbf29ce484222325u;
  void add(std::int16_t sample) {
    auto v = static_cast<std::uint16_t>(sample);
    for (int i = 0; i < 2; ++i) value = (value ^ ((v >> (8 * i)) & 0xff)) * 0x100000001b3u;
  }
};

TEST(DemoSongs, OneLoopOfEachWithTheDefaultBank) {
  struct Case {
    const char* name;
    std::uint64_t checksum;
  } cases[] = {
      {"first-light", 11604346244204673434u},
      {"island-hop", 7944367571222636933u},
      {"lanterns", 2090210673509489295u},
      {"pixel-rush", 7186266388764721143u},
  };
  auto file = FileSource::open(ZORVIK_DEFAULT_BANK);
  ASSERT_TRUE(file);
  auto shared = std::make_shared<const SampleBank>(readSampleBank(*file));
  const SampleBank& bank = *shared;
  for (const auto& c : cases) {
    Song song = compileSongText(readText(std::string(ZORVIK_EXAMPLES) + "/" + c.name + ".txt"));
    Player bySample(song.tempo, song, bank);
    const auto loop =
        static_cast<std::size_t>(kSteps) * static_cast<std::size_t>(bySample.samplesPerStep);
    Checksum perSample;
    for (std::size_t i = 0; i < loop; ++i) perSample.add(nextSample(bySample));
    EXPECT_EQ(perSample.value, c.checksum) << c.name;

    Playback playback(song, shared);
    std::vector<std::int16_t> block(loop);
    playback.fill(block);
    Checksum byBlock;
    for (std::int16_t s : block) byBlock.add(s);
    EXPECT_EQ(byBlock.value, c.checksum) << c.name;
  }
}

// `make play SONG=x` for a song that is not there says which are, before
// it sets up or builds anything.
TEST(DemoSongs, MakePlayNamesTheSongsThereAre) {
  fixtures::TempDir dir;
  const std::string build = (dir / "build").string();
  // Bounded: a make that went on to build would take minutes.
  auto r = fixtures::run("timeout 30 make -s -C " +
                         fixtures::shellQuote(std::string(ZORVIK_EXAMPLES) + "/..") +
                         " play SONG=nosuch BUILD=" + fixtures::shellQuote(build));
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.err.find("make play: there is no demo song 'nosuch'; SONG= takes one of: "),
            std::string::npos)
      << r.err;
  for (const char* song : {"first-light", "island-hop", "lanterns", "pixel-rush"}) {
    EXPECT_NE(r.err.find(song), std::string::npos) << song << ": " << r.err;
  }
  EXPECT_EQ(r.err.find("CMakeLists"), std::string::npos) << r.err;
  EXPECT_FALSE(std::filesystem::exists(build));
}

}  // namespace
}  // namespace zorvik
