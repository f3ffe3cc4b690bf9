// The kept loop of a playback: every loop from the second on is the same
// samples, so the second is kept and given again.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "engine/mixer.hpp"
#include "engine/playback.hpp"
#include "testing/fixtures.hpp"

namespace zorvik {
namespace {

std::vector<std::int16_t> bySample(const Song& song, const SampleBank& bank, std::size_t n) {
  Player player(song.tempo, song, bank);
  std::vector<std::int16_t> out(n);
  for (auto& v : out) v = nextSample(player);
  return out;
}

// Songs whose loops end with voices still sounding into the next loop, and
// the corner cases: no note at all, and only notes that cannot play.
std::vector<Song> songs(std::mt19937& rng) {
  std::vector<Song> out;
  for (int i = 0; i < 6; ++i) {
    Song song = fixtures::randomSong(rng);
    song.tempo = static_cast<std::uint8_t>(180 + rng() % 76);
    out.push_back(song);
  }
  Song tail = fixtures::emptySong(255);
  tail.cells[95][1] = {0, 7};  // rings on into the next loop's first steps
  tail.cells[40][0] = {3, 2};
  out.push_back(tail);
  out.push_back(fixtures::emptySong(255));
  Song silent = fixtures::emptySong(250);
  silent.cells[7][2] = {20, 1};  // cuts, plays nothing
  silent.cells[60][0] = {3, 15};
  out.push_back(silent);
  return out;
}

TEST(KeptLoop, FromTheSecondLoopOnEveryLoopIsTheSame) {
  std::mt19937 rng(21);
  auto shared = std::make_shared<const SampleBank>(fixtures::randomBank(rng, 40000));
  const SampleBank& bank = *shared;
  for (const Song& song : songs(rng)) {
    const std::size_t loop = kSteps * static_cast<std::size_t>(stepLength(song.tempo));
    auto reference = bySample(song, bank, 4 * loop + 777);
    // Loops 2, 3 and 4 are equal: a step with a note cuts every voice.
    for (std::size_t i = 0; i < loop; ++i) {
      ASSERT_EQ(reference[loop + i], reference[2 * loop + i]) << i;
      ASSERT_EQ(reference[loop + i], reference[3 * loop + i]) << i;
    }
    // And the playback that keeps the second loop gives exactly the same,
    // in parts of any size, kept or (too long to keep) rendered afresh.
    for (std::size_t maxKept : {Playback::kDefaultMaxKept, std::size_t{0}}) {
      Playback playback(song, shared, 0, maxKept);
      EXPECT_EQ(playback.loopLength(), loop);
      std::vector<std::int16_t> got(reference.size());
      for (std::size_t done = 0; done < got.size();) {
        std::size_t n = std::min<std::size_t>(got.size() - done, 1 + rng() % (loop / 2));
        ASSERT_EQ(playback.fill(std::span(got).subspan(done, n)), n);
        done += n;
      }
      ASSERT_EQ(got, reference) << "tempo " << int(song.tempo) << ", kept up to " << maxKept;
    }
  }
}

TEST(KeptLoop, ASongWhoseFirstLoopDiffersFromTheRest) {
  // The note of step 95 still sounds at the start of the second loop, and
  // not at the start of the first: only the first loop is different.
  Song song = fixtures::emptySong(255);
  song.cells[95][0] = {1, 0};
  song.cells[10][0] = {1, 1};
  auto bank =
      std::make_shared<const SampleBank>(fixtures::makeBank(fixtures::countingSamples(5000)));
  const std::size_t loop = kSteps * static_cast<std::size_t>(stepLength(255));
  auto reference = bySample(song, *bank, 3 * loop);
  EXPECT_EQ(reference[0], 0);
  EXPECT_NE(reference[loop], 0);
  Playback playback(song, bank);
  std::vector<std::int16_t> got(3 * loop);
  playback.fill(got);
  EXPECT_EQ(got, reference);
}

}  // namespace
}  // namespace zorvik
