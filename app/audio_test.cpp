#include "app/audio.hpp"

#include <gtest/gtest.h>

#include <vector>

#include "testing/fixtures.hpp"

namespace zorvik {
namespace {

struct Redraw {
  int index;
  int step;
  friend bool operator==(const Redraw&, const Redraw&) = default;
};

std::vector<Redraw> fill(Playback& playback, std::vector<std::uint8_t>& buffer, int len) {
  std::vector<Redraw> redraws;
  fillAudio(
      playback, buffer.data(), len,
      [](const Playback& p, int index, void* context) {
        static_cast<std::vector<Redraw>*>(context)->push_back({index, p.step()});
      },
      &redraws);
  return redraws;
}

TEST(AudioCallback, RedrawsOncePerStepChangeAtItsSample) {
  struct Case {
    int tempo;
    int skip;  // samples played before the buffer
    int len;
    std::vector<Redraw> redraws;
  } cases[] = {
      {100, 0, 8192, {}},
      {100, 59500 - 3000, 8192, {{2999, 10}}},  // the worked example's step 10
      {255, 0, 8192, {{2352, 1}}},
      {255, 2353 - 100, 8192, {{99, 1}, {99 + 2353, 2}}},  // two step changes in one buffer
      {255, 0, 4707, {{2352, 1}}},  // odd len: 2353 samples, the last byte untouched
      {255, 0, 4705, {}},           // one sample short of the step change
      {255, 0, 1, {}},
      {255, 0, 0, {}},
      {255, 0, -4, {}},
  };
  for (const auto& c : cases) {
    Song song = fixtures::emptySong(static_cast<std::uint8_t>(c.tempo));
    Playback playback(
        song, std::make_shared<const SampleBank>(fixtures::makeBank(fixtures::countingSamples(1))));
    std::vector<std::int16_t> before(static_cast<std::size_t>(c.skip));
    playback.fill(before);
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(std::max(c.len, 0)) + 2, 0xAA);
    EXPECT_EQ(fill(playback, buffer, c.len), c.redraws) << c.tempo << " " << c.skip << " " << c.len;
    EXPECT_EQ(playback.played(), static_cast<std::uint64_t>(c.skip + std::max(c.len, 0) / 2));
    // Bytes past the last whole sample are left alone.
    EXPECT_EQ(buffer[static_cast<std::size_t>(std::max(c.len, 0) / 2 * 2)], 0xAA);
  }
}

TEST(AudioCallback, WritesTheStreamLittleEndian) {
  Song song = fixtures::emptySong(255);
  song.cells[0] = {SongCell{1, 0}, SongCell{1, 1}, kNoNote};
  fixtures::SampleSet samples;
  samples[0] = {-30000, 300};
  samples[1] = {-3000, 3};
  Playback playback(song, std::make_shared<const SampleBank>(fixtures::makeBank(samples)));
  std::vector<std::uint8_t> buffer(6);
  fill(playback, buffer, 6);
  // -10000 + -1000, then 100 + 1, then silence.
  EXPECT_EQ(buffer, (std::vector<std::uint8_t>{0x08, 0xD5, 0x65, 0x00, 0x00, 0x00}));
}

}  // namespace
}  // namespace zorvik
