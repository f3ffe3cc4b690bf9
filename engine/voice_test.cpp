#include "engine/voice.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "engine/pitch.hpp"
#include "testing/fixtures.hpp"

namespace zorvik {
namespace {

TEST(Pitch, IncrementsOfAllRows) {
  const double expected[kPitchRows] = {0.943874, 1.000000, 1.059463, 1.189207, 1.334840, 1.414214,
                                       1.587401, 1.781797, 2.000000, 2.118926, 2.378414, 2.669680,
                                       2.828427, 3.174802, 3.563595, 4.000000};
  for (int p = 0; p < kPitchRows; ++p) {
    EXPECT_NEAR(pitchIncrement(p), expected[p], 5e-7) << p;
    // The quotient of the two frequencies, not 2^(d/12): the same double.
    EXPECT_EQ(pitchIncrement(p), noteFrequency(noteTable[p]) / noteFrequency(1)) << p;
  }
  EXPECT_EQ(pitchIncrement(1), 1.0);
  EXPECT_EQ(noteFrequency(0), 27.5);
  EXPECT_EQ(noteFrequency(12), 55.0);
  EXPECT_EQ(noteFrequency(24), 110.0);
}

std::vector<int> play(const Sample& sample, int row, int calls) {
  Voice voice;
  silenceVoice(voice);
  startNote(voice, sample, row, pitchIncrement(row));
  std::vector<int> out;
  out.reserve(static_cast<std::size_t>(calls));
  for (int i = 0; i < calls; ++i) out.push_back(renderVoice(voice));
  return out;
}

TEST(RenderVoice, WorkedExamples) {
  const fixtures::OwnedSample owned({10, 20, 30, 40, 50});
  const Sample& five = owned.sample;
  struct Case {
    int row;
    std::vector<int> values;
  } cases[] = {
      {1, {10, 20, 30, 40, 50, 0, 0}}, {0, {10, 10, 20, 30, 40, 50, 0}},
      {3, {10, 20, 30, 40, 50, 0, 0}}, {8, {10, 30, 50, 0, 0, 0, 0}},
      {15, {10, 50, 0, 0, 0, 0, 0}},
  };
  for (const auto& c : cases) EXPECT_EQ(play(five, c.row, 7), c.values) << "row " << c.row;
}

TEST(RenderVoice, EndOfNoteResetsPositionAndKeepsPitchAndSample) {
  const fixtures::OwnedSample owned({7, 8});
  const Sample& two = owned.sample;
  Voice voice;
  startNote(voice, two, 8, pitchIncrement(8));  // 0, 2.0 == length: ends on the first call
  EXPECT_EQ(renderVoice(voice), 7);
  EXPECT_FALSE(voice.active);
  EXPECT_EQ(voice.position, 0.0);
  EXPECT_EQ(voice.pitch, 8);
  EXPECT_EQ(voice.sample, &two);
  // An inactive voice returns 0 and changes nothing.
  Voice before = voice;
  EXPECT_EQ(renderVoice(voice), 0);
  EXPECT_EQ(voice.position, before.position);
  EXPECT_EQ(voice.active, before.active);
}

TEST(RenderVoice, EmptySampleIsSilentAndReadsNothing) {
  const Sample empty{SampleData(), 0};
  EXPECT_EQ(play(empty, 1, 3), (std::vector<int>{0, 0, 0}));
}

}  // namespace
}  // namespace zorvik
