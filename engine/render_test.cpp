#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "engine/block_mixer.hpp"
#include "engine/mixer.hpp"
#include "engine/sequencer.hpp"
#include "testing/fixtures.hpp"

namespace zorvik {
namespace {

struct Event {
  std::size_t sample;
  std::int32_t step;
  friend bool operator==(const Event&, const Event&) = default;
};

// The reference stream: one nextSample call per sample.
void bySample(Player& player, std::size_t n, std::vector<std::int16_t>& out,
              std::vector<Event>& events) {
  for (std::size_t i = 0; i < n; ++i) {
    out.push_back(nextSample(player));
    if (player.redraw) events.push_back({i, player.currentStep});
  }
}

// The same through renderBlock, in blocks of varied sizes.
void byBlock(Player& player, std::size_t n, std::mt19937& rng, std::vector<std::int16_t>& out,
             std::vector<Event>& events) {
  out.resize(n);
  std::size_t done = 0;
  while (done < n) {
    std::size_t want = std::min<std::size_t>(n - done, 1 + rng() % 9000);
    std::size_t got = renderBlock(player, std::span(out).subspan(done, want));
    ASSERT_GE(got, 1u);
    ASSERT_LE(got, want);
    done += got;
    if (player.redraw)
      events.push_back({done - 1, player.currentStep});
    else
      ASSERT_EQ(got, want) << "stopped early without a step change";
  }
}

TEST(RenderBlock, EqualsNextSampleOnRandomSongsAndBanks) {
  std::mt19937 rng(20261207);
  for (int round = 0; round < 40; ++round) {
    Song song = fixtures::randomSong(rng);
    song.tempo = static_cast<std::uint8_t>(round < 30 ? 200 + rng() % 56 : rng());
    SampleBank bank = fixtures::randomBank(rng, round % 4 == 0 ? 40 : 6000);
    Player a(song.tempo, song, bank);
    Player b(song.tempo, song, bank);
    std::size_t n = std::min<std::size_t>(2 * 96 * a.samplesPerStep + 17, 1'200'000);

    std::vector<std::int16_t> expected, actual;
    std::vector<Event> expectedEvents, actualEvents;
    bySample(a, n, expected, expectedEvents);
    byBlock(b, n, rng, actual, actualEvents);
    ASSERT_EQ(actual, expected) << "round " << round;
    ASSERT_EQ(actualEvents, expectedEvents) << "round " << round;
    EXPECT_EQ(b.sampleCounter, a.sampleCounter);
    EXPECT_EQ(b.currentStep, a.currentStep);
    for (int k = 0; k < 3; ++k) {
      EXPECT_EQ(b.voices[k].position, a.voices[k].position);
      EXPECT_EQ(b.voices[k].active, a.voices[k].active);
    }
  }
}

TEST(RenderBlock, LongSamplesAtEveryRowMatchExactly) {
  // Long notes accumulate the most rounding: the fast path must end each
  // note on the same sample as the careful one.
  fixtures::SampleSet samples;
  std::mt19937 rng(7);
  for (auto& s : samples) {
    s.resize(200000 + rng() % 1000);
    for (auto& v : s) v = static_cast<std::int16_t>(rng());
  }
  SampleBank bank = fixtures::makeBank(samples);
  Song song = fixtures::emptySong(0);
  for (int step = 0; step < 96; ++step) {
    song.cells[step] = {
        SongCell{static_cast<std::uint8_t>(step % 16), static_cast<std::uint8_t>(step % 15)},
        SongCell{static_cast<std::uint8_t>((step + 5) % 16), 12},
        SongCell{static_cast<std::uint8_t>((step + 11) % 16), 3}};
  }
  Player a(song.tempo, song, bank);
  Player b(song.tempo, song, bank);
  std::vector<std::int16_t> expected, actual(1'500'000);
  std::vector<Event> events;
  bySample(a, actual.size(), expected, events);
  std::size_t done = 0;
  while (done < actual.size()) done += renderBlock(b, std::span(actual).subspan(done));
  EXPECT_EQ(actual, expected);
}

TEST(RenderBlock, EmptyBufferRendersNothing) {
  Song song = fixtures::emptySong();
  SampleBank bank = fixtures::makeBank(fixtures::countingSamples(1));
  Player player(song.tempo, song, bank);
  EXPECT_EQ(renderBlock(player, {}), 0u);
  EXPECT_EQ(player.sampleCounter, 0);
}

}  // namespace
}  // namespace zorvik
