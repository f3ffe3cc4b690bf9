#include "engine/playback.hpp"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "testing/fixtures.hpp"

namespace zorvik {
namespace {

std::shared_ptr<const SampleBank> shared(SampleBank bank) {
  return std::make_shared<const SampleBank>(std::move(bank));
}

// A fast song whose three channels play different notes, so that every
// channel is heard and most steps cut the voices.
Song busySong(std::uint8_t tempo = 250) {
  Song song = fixtures::emptySong(tempo);
  for (int step = 0; step < kSteps; step += 3) {
    song.cells[step] = {SongCell{static_cast<std::uint8_t>(step % 16), 1},
                        SongCell{static_cast<std::uint8_t>((step + 5) % 16), 5},
                        SongCell{static_cast<std::uint8_t>((step + 9) % 16), 9}};
  }
  return song;
}

fixtures::SampleSet randomSamples(std::mt19937& rng, std::size_t length) {
  fixtures::SampleSet samples;
  for (auto& s : samples) {
    s.resize(length);
    for (auto& v : s) v = static_cast<std::int16_t>(rng());
  }
  return samples;
}

// Everything a playback gives in blocks of varied sizes, checking that a
// block stops early only at a step's end.
std::vector<std::int16_t> drain(Playback& playback, std::size_t n, std::mt19937& rng) {
  std::vector<std::int16_t> out(n);
  std::size_t done = 0;
  while (done < n) {
    std::size_t want = std::min<std::size_t>(n - done, 1 + rng() % 5000);
    std::size_t got = playback.render(std::span(out).subspan(done, want));
    if (got == 0) break;
    EXPECT_TRUE(got == want || playback.stepEnded()) << "stopped early inside a step";
    done += got;
  }
  out.resize(done);
  return out;
}

TEST(Playback, IsTheSongsStreamOverManyLoopsWithAndWithoutTheKeptLoop) {
  std::mt19937 rng(17);
  const fixtures::SampleSet samples = randomSamples(rng, 900);
  for (std::uint8_t tempo : {255, 240, 201}) {
    Song song = fixtures::randomSong(rng);
    song.tempo = tempo;
    auto bank = shared(fixtures::makeBank(samples));
    Playback kept(song, bank);
    Playback live(song, bank, 0, 0);
    const std::size_t n = 4 * kSteps * static_cast<std::size_t>(kept.samplesPerStep()) + 33;
    const std::vector<std::int16_t> expected = fixtures::streamOf(song, samples, n);
    EXPECT_EQ(drain(kept, n, rng), expected) << "tempo " << int{tempo};
    EXPECT_EQ(drain(live, n, rng), expected) << "tempo " << int{tempo};
    EXPECT_EQ(kept.position(), live.position());
    EXPECT_EQ(kept.played(), n);
  }
}

TEST(Playback, EndsAfterItsLoopsAndSaysWhereEachSampleIs) {
  std::mt19937 rng(3);
  Song song = busySong(255);
  Playback playback(song, shared(fixtures::makeBank(randomSamples(rng, 300))), 2);
  std::vector<std::int16_t> out(3 * playback.loopLength());
  EXPECT_EQ(playback.fill(out), 2 * playback.loopLength());
  EXPECT_TRUE(playback.ended());
  EXPECT_EQ(playback.render(out), 0u);
  EXPECT_EQ(playback.length(), 2 * playback.loopLength());

  const std::uint64_t perStep = static_cast<std::uint64_t>(playback.samplesPerStep());
  struct Case {
    std::uint64_t sample;
    PlayPosition at;
  } cases[] = {{0, {0, 0, 0}},
               {perStep - 1, {0, 0, static_cast<std::int32_t>(perStep - 1)}},
               {perStep, {0, 1, 0}},
               {95 * perStep + 7, {0, 95, 7}},
               {96 * perStep, {1, 0, 0}},
               {5 * 96 * perStep + 3 * perStep + 2, {5, 3, 2}}};
  for (const Case& c : cases) EXPECT_EQ(playback.positionOf(c.sample), c.at) << c.sample;

  playback.setLoops(3);
  EXPECT_FALSE(playback.ended());
  EXPECT_EQ(playback.fill(out), playback.loopLength());
}

TEST(Playback, AMutedChannelIsNotHeardAndTheOthersAre) {
  std::mt19937 rng(5);
  const fixtures::SampleSet samples = randomSamples(rng, 700);
  // Only channel 1 plays: muting it silences the song, muting the others
  // changes nothing.
  Song song = fixtures::emptySong(250);
  for (int step = 0; step < kSteps; step += 4) song.cells[step][0] = {3, 1};
  const std::size_t n = kSteps * static_cast<std::size_t>(stepLength(250)) * 2;
  const std::vector<std::int16_t> full = fixtures::streamOf(song, samples, n);
  struct Case {
    unsigned heard;
    bool silent;
  } cases[] = {{0b001, false}, {0b011, false}, {0b101, false}, {0b110, true},
               {0b010, true},  {0b100, true},  {0b000, true}};
  for (const Case& c : cases) {
    Playback playback(song, shared(fixtures::makeBank(samples)));
    playback.setHeard(c.heard);
    std::vector<std::int16_t> out = drain(playback, n, rng);
    if (c.silent) {
      EXPECT_EQ(out, std::vector<std::int16_t>(n, 0)) << "heard " << c.heard;
    } else {
      EXPECT_EQ(out, full) << "heard " << c.heard;
    }
  }
}

TEST(Playback, TheKeptLoopChangesNothingWhateverIsDoneWhilePlaying) {
  // The same random changes to a playback that keeps its loop and to one
  // that renders everything afresh: the samples must be the same.
  std::mt19937 rng(11);
  for (int round = 0; round < 12; ++round) {
    const fixtures::SampleSet samples = randomSamples(rng, 200 + rng() % 3000);
    auto bank = shared(fixtures::makeBank(samples));
    Song song = fixtures::randomSong(rng);
    song.tempo = static_cast<std::uint8_t>(235 + rng() % 21);
    Playback kept(song, bank);
    Playback live(song, bank, 0, 0);
    for (int op = 0; op < 60; ++op) {
      const std::size_t n = rng() % (3 * kept.loopLength() / 2);
      std::mt19937 same(static_cast<unsigned>(rng()));
      std::mt19937 same2 = same;
      ASSERT_EQ(drain(kept, n, same), drain(live, n, same2)) << "round " << round << " op " << op;
      switch (rng() % 8) {
        case 0:
        case 1: {
          unsigned heard = rng() % 8;
          kept.setHeard(heard);
          live.setHeard(heard);
          break;
        }
        case 2: {
          long long steps = static_cast<long long>(rng() % 200) - 100;
          kept.seekSteps(steps);
          live.seekSteps(steps);
          break;
        }
        case 3: {
          Song other = song;
          other.cells[rng() % kSteps][rng() % 3] = {static_cast<std::uint8_t>(rng() % 16),
                                                    static_cast<std::uint8_t>(1 + rng() % 13)};
          kept.replace(other, bank);
          live.replace(other, bank);
          break;
        }
        case 4: {
          double gain = static_cast<double>(rng() % 13) - 6.0;
          kept.setGain(gain);
          live.setGain(gain);
          break;
        }
        default:
          break;  // play on: most loops are given from the kept one
      }
      ASSERT_EQ(kept.position(), live.position());
    }
    EXPECT_EQ(kept.limited(), live.limited());
  }
}

TEST(Playback, SeeksGoToTheStartOfAStepAsIfPlayingHadReachedIt) {
  std::mt19937 rng(23);
  const fixtures::SampleSet samples = randomSamples(rng, 500);
  Song song = busySong(250);
  auto bank = shared(fixtures::makeBank(samples));
  const auto perStep = static_cast<std::size_t>(stepLength(250));
  struct Case {
    long long steps;
    PlayPosition at;
  } cases[] = {
      {0, {1, 10, 0}}, {5, {1, 15, 0}}, {-11, {0, 95, 0}}, {90, {2, 4, 0}}, {-1000, {0, 0, 0}}};
  for (const Case& c : cases) {
    Playback playback(song, bank, 3);
    playback.seek({1, 10, 77});
    EXPECT_EQ(playback.position(), (PlayPosition{1, 10, 77}));
    playback.seekSteps(c.steps);
    EXPECT_EQ(playback.position(), c.at) << c.steps;
    // From a step's start: the step's notes, from voices at rest, as a
    // player made at that step gives them.
    Player reference(song.tempo, song, *bank);
    jumpToStep(reference, c.at.step);
    std::vector<std::int16_t> expected(perStep * 4), actual(perStep * 4);
    for (auto& s : expected) s = nextSample(reference);
    EXPECT_EQ(playback.fill(actual), actual.size());
    EXPECT_EQ(actual, expected) << c.steps;
  }
  Playback playback(song, bank, 3);
  playback.seek({3, 0, 0});
  EXPECT_TRUE(playback.ended());
  playback.seekSteps(-1);
  EXPECT_EQ(playback.position(), (PlayPosition{2, 95, 0}));
  EXPECT_FALSE(playback.ended());
}

TEST(Playback, AReplacedSongGoesOnFromTheSamePlace) {
  std::mt19937 rng(29);
  const fixtures::SampleSet samples = randomSamples(rng, 20000);
  auto bank = shared(fixtures::makeBank(samples));
  Song song = busySong(245);
  const std::size_t perStep = static_cast<std::size_t>(stepLength(245));
  const std::size_t before = 100 * perStep + perStep / 2;
  const std::vector<std::int16_t> expected =
      fixtures::streamOf(song, samples, before + 3 * perStep);

  // The same song and bank again, mid-step: not one sample changes.
  Playback same(song, bank);
  std::vector<std::int16_t> out(before + 3 * perStep);
  same.fill(std::span(out).first(before));
  same.replace(song, bank);
  same.fill(std::span(out).subspan(before));
  EXPECT_EQ(out, expected);

  // A note changed in the next step is heard from that step on; the rest
  // of this step is as it was.
  Song edited = song;
  edited.cells[5] = {SongCell{7, 2}, SongCell{}, SongCell{}};
  Playback changed(song, bank);
  changed.fill(std::span(out).first(before));
  changed.replace(edited, bank);
  changed.fill(std::span(out).subspan(before));
  const std::size_t nextStep = 101 * perStep;
  EXPECT_TRUE(std::equal(out.begin(), out.begin() + nextStep, expected.begin()));
  EXPECT_FALSE(std::equal(out.begin() + nextStep, out.end(), expected.begin() + nextStep));

  // A slower or faster tempo: the same loop and step, held within it.
  Song slower = song;
  slower.tempo = 10;
  Song faster = song;
  faster.tempo = 255;
  for (const Song& other : {slower, faster}) {
    Playback playback(song, bank);
    playback.fill(std::span(out).first(before));
    playback.replace(other, shared(fixtures::makeBank(samples)));
    PlayPosition at = playback.position();
    EXPECT_EQ(at.loop, 1u);
    EXPECT_EQ(at.step, 4);
    EXPECT_EQ(at.into, std::min<std::int32_t>(static_cast<std::int32_t>(perStep / 2),
                                              stepLength(other.tempo) - 1));
    EXPECT_EQ(playback.samplesPerStep(), stepLength(other.tempo));
  }
}

TEST(Playback, GainScalesLimitsAndCountsWhatItLimited) {
  std::mt19937 rng(31);
  fixtures::SampleSet samples;
  for (auto& s : samples) s.assign(4000, 30000);  // a third each: 29997 with all three
  Song song = busySong(250);
  const std::size_t n = 20000;
  const std::vector<std::int16_t> plain = fixtures::streamOf(song, samples, n);
  struct Case {
    double gain;
    double heldAt;
  } cases[] = {{-6.0, -6.0}, {0.0, 0.0}, {6.0, 6.0}, {99.0, kMaxGainDb}, {-99.0, kMinGainDb}};
  for (const Case& c : cases) {
    Playback playback(song, shared(fixtures::makeBank(samples)));
    playback.setGain(c.gain);
    EXPECT_EQ(playback.gain(), c.heldAt);
    std::vector<std::int16_t> out = drain(playback, n, rng);
    std::uint64_t limited = 0;
    for (std::size_t i = 0; i < n; ++i) {
      ASSERT_EQ(out[i], limitedSample(plain[i] * gainScale(c.heldAt), limited)) << i;
    }
    EXPECT_EQ(playback.limited(), limited);
    EXPECT_EQ(limited > 0, c.heldAt > 0.1) << c.gain;
  }
}

}  // namespace
}  // namespace zorvik
