#include "engine/sequencer.hpp"

#include <gtest/gtest.h>

#include "engine/block_mixer.hpp"
#include "engine/mixer.hpp"
#include "testing/fixtures.hpp"

namespace zorvik {
namespace {

using fixtures::emptySong;
using fixtures::makeBank;

TEST(Player, StepLengths) {
  const std::pair<int, int> cases[] = {{0, 600010}, {1, 300010}, {9, 60010},
                                       {19, 30010}, {99, 6010},  {100, 5950},
                                       {127, 4697}, {199, 3010}, {255, 2353}};
  for (auto [tempo, length] : cases)
    EXPECT_EQ(stepLength(static_cast<std::uint8_t>(tempo)), length) << tempo;
}

TEST(Player, RemapTable) {
  struct Case {
    int instrument, pitch, sample;
  } cases[] = {{223, 0, 223}, {223, 255, 223}, {0, 9, 0},     {11, 0, 11},   {12, 0, 12},
               {12, 6, 12},   {12, 7, 13},     {12, 255, 13}, {13, 0, 14},   {14, 3, 15},
               {15, 0, 16},   {222, 255, 223}, {224, 1, 225}, {254, 0, 255}, {255, 0, 0}};
  for (auto c : cases) {
    EXPECT_EQ(remapInstrument(static_cast<std::uint8_t>(c.instrument),
                              static_cast<std::uint8_t>(c.pitch)),
              c.sample)
        << c.instrument << "," << c.pitch;
  }
}

TEST(Player, WorkedExampleOfAStep) {
  Song song = emptySong(100);
  song.cells[10] = {SongCell{3, 5}, kNoNote, SongCell{9, 12}};
  auto samples = fixtures::countingSamples(10);
  samples[5][0] = 1000;
  samples[13][0] = -2000;
  SampleBank bank = makeBank(samples);
  Player player(song.tempo, song, bank);
  for (int i = 0; i < 59500; ++i) nextSample(player);
  EXPECT_EQ(player.currentStep, 10);
  EXPECT_EQ(nextSample(player), -333);
  EXPECT_EQ(player.sampleCounter, 59501);
  EXPECT_FALSE(player.voices[1].active);
  EXPECT_EQ(player.voices[0].sample, &bank.samples[5]);
  EXPECT_EQ(player.voices[2].sample, &bank.samples[13]);
  for (int i = 59501; i < 65449; ++i) {
    nextSample(player);
    ASSERT_FALSE(player.redraw);
  }
  nextSample(player);
  EXPECT_TRUE(player.redraw);
  EXPECT_EQ(player.currentStep, 11);
}

TEST(Player, MixLimits) {
  struct Case {
    std::int16_t v0, v1, v2;
    bool on0, on1, on2;
    int out;
  } cases[] = {
      {32767, 32767, 32767, true, true, true, 32766},
      {-32768, -32768, -32768, true, true, true, -32766},
      {1000, 0, -2000, true, false, true, -333},
      {-1, 0, 0, true, false, false, 0},
      {0, -2, 0, false, true, false, 0},
      {-1, -1, -1, true, true, true, 0},
      {-3, 5, 6, true, true, true, 2},
  };
  for (const auto& c : cases) {
    Song song = emptySong();
    song.cells[0] = {c.on0 ? SongCell{1, 0} : kNoNote, c.on1 ? SongCell{1, 1} : kNoNote,
                     c.on2 ? SongCell{1, 2} : kNoNote};
    fixtures::SampleSet samples;
    samples[0] = {c.v0};
    samples[1] = {c.v1};
    samples[2] = {c.v2};
    SampleBank bank = makeBank(samples);
    Player player(song.tempo, song, bank);
    EXPECT_EQ(nextSample(player), c.out) << c.v0 << " " << c.v1 << " " << c.v2;
  }
}

TEST(Player, RedrawOncePerStepAndTheLoopRepeatsExactly) {
  for (int tempo : {255, 200}) {
    Song song = emptySong(static_cast<std::uint8_t>(tempo));
    song.cells[0][1] = {1, 0};
    SampleBank bank = makeBank(fixtures::countingSamples(5000));
    Player player(song.tempo, song, bank);
    const int length = player.samplesPerStep;
    int redraws = 0;
    std::vector<std::int16_t> firstLoop;
    for (int i = 1; i <= 96 * length; ++i) {
      firstLoop.push_back(nextSample(player));
      if (player.redraw) {
        ++redraws;
        ASSERT_EQ(i % length, 0) << "redraw at call " << i;
        ASSERT_EQ(player.currentStep, (i / length) % 96);
      }
    }
    EXPECT_EQ(redraws, 96);
    EXPECT_EQ(player.currentStep, 0);
    EXPECT_EQ(player.sampleCounter, 0);  // kept within one loop
    for (int i = 0; i < 96 * length; ++i) ASSERT_EQ(nextSample(player), firstLoop[i]) << i;
  }
}

TEST(Player, FirstRedrawComesAfterOneStepWithStep1) {
  Song song = emptySong(255);
  SampleBank bank = makeBank(fixtures::countingSamples(1));
  Player player(song.tempo, song, bank);
  for (int i = 1; i < 2353; ++i) {
    nextSample(player);
    ASSERT_FALSE(player.redraw) << i;
  }
  EXPECT_EQ(nextSample(player), 0);
  EXPECT_TRUE(player.redraw);
  EXPECT_EQ(player.currentStep, 1);
  nextSample(player);
  EXPECT_FALSE(player.redraw);
}

// What each voice is doing right after the first sample of step 1.
struct StepResult {
  bool active[3];
  const Sample* sample[3];
};

StepResult afterStep1(const StepCells& step0, const StepCells& step1, const SampleBank& bank) {
  Song song = emptySong(255);
  song.cells[0] = step0;
  song.cells[1] = step1;
  Player player(song.tempo, song, bank);
  for (int i = 0; i <= 2353; ++i) nextSample(player);
  StepResult r{};
  for (int k = 0; k < 3; ++k) {
    r.active[k] = player.voices[k].active;
    r.sample[k] = player.voices[k].active ? player.voices[k].sample : nullptr;
  }
  return r;
}

TEST(Player, StepsCutAllVoicesOnlyWhenTheyHoldANote) {
  SampleBank bank = makeBank(fixtures::countingSamples(10000));
  const auto* s = bank.samples.data();
  const StepCells all = {SongCell{1, 0}, SongCell{1, 1}, SongCell{1, 2}};
  const StepCells none = {kNoNote, kNoNote, kNoNote};
  struct Case {
    const char* what;
    StepCells step1;
    bool active[3];
    const Sample* sample[3];
  } cases[] = {
      {"empty step leaves voices sounding", none, {true, true, true}, {s + 0, s + 1, s + 2}},
      {"(255, 222) is empty",
       {SongCell{255, 222}, kNoNote, kNoNote},
       {true, true, true},
       {s + 0, s + 1, s + 2}},
      {"one note cuts the others",
       {kNoNote, SongCell{1, 4}, kNoNote},
       {false, true, false},
       {nullptr, s + 4, nullptr}},
      {"split instrument",
       {SongCell{6, 12}, SongCell{7, 12}, SongCell{3, 13}},
       {true, true, true},
       {s + 12, s + 13, s + 14}},
      {"instrument 255 plays sample 0",
       {SongCell{2, 255}, kNoNote, kNoNote},
       {true, false, false},
       {s + 0, nullptr, nullptr}},
      // Notes that cannot play still cut the step; the rest start normally.
      {"instrument past the bank",
       {SongCell{1, 15}, SongCell{1, 3}, kNoNote},
       {false, true, false},
       {nullptr, s + 3, nullptr}},
      {"instrument 15 at pitch 255",
       {SongCell{255, 15}, kNoNote, SongCell{1, 5}},
       {false, false, true},
       {nullptr, nullptr, s + 5}},
      {"223 with a pitch",
       {SongCell{4, 223}, kNoNote, kNoNote},
       {false, false, false},
       {nullptr, nullptr, nullptr}},
      {"pitch row 16",
       {SongCell{16, 0}, SongCell{15, 1}, kNoNote},
       {false, true, false},
       {nullptr, s + 1, nullptr}},
  };
  for (const auto& c : cases) {
    StepResult r = afterStep1(all, c.step1, bank);
    for (int k = 0; k < 3; ++k) {
      EXPECT_EQ(r.active[k], c.active[k]) << c.what << ", voice " << k;
      EXPECT_EQ(r.sample[k], c.sample[k]) << c.what << ", voice " << k;
    }
  }
}

TEST(Player, EmptySongPlaysSilenceWithRedraws) {
  Song song = emptySong(255);
  SampleBank bank = makeBank(fixtures::countingSamples(100));
  Player player(song.tempo, song, bank);
  int redraws = 0;
  for (int i = 0; i < 96 * 2353; ++i) {
    ASSERT_EQ(nextSample(player), 0);
    redraws += player.redraw;
  }
  EXPECT_EQ(redraws, 96);
}

}  // namespace
}  // namespace zorvik
