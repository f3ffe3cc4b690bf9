// Rounding and clipping of sample values made from audio files.

#include "tools/sample_values.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace zorvik::tool {
namespace {

TEST(ToBankValues, RoundsHalvesAwayFromZeroAndClipsTo16Bits) {
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    double in;
    std::int16_t out;
    std::size_t clipped, notNumbers, infinities;
  } cases[] = {
      {0.5, 1, 0, 0, 0},           {-0.5, -1, 0, 0, 0},         {1.49, 1, 0, 0, 0},
      {-2.5, -3, 0, 0, 0},         {32767.4, 32767, 0, 0, 0},   {32767.5, 32767, 1, 0, 0},
      {-32768.4, -32768, 0, 0, 0}, {-32768.5, -32768, 1, 0, 0}, {1e12, 32767, 1, 0, 0},
      {-inf, -32768, 0, 0, 1},     {inf, 32767, 0, 0, 1},       {std::nan(""), 0, 0, 1, 0},
  };
  for (const auto& c : cases) {
    BankValues v = toBankValues(std::vector<double>{c.in});
    ASSERT_EQ(v.values.size(), 1u);
    EXPECT_EQ(v.values[0], c.out) << c.in;
    EXPECT_EQ(v.clipped, c.clipped) << c.in;
    EXPECT_EQ(v.notNumbers, c.notNumbers) << c.in;
    EXPECT_EQ(v.infinities, c.infinities) << c.in;
  }
  EXPECT_EQ(toBankValues(std::vector<double>{40000, 3, -40000, 32768}).clipped, 3u);
}

}  // namespace
}  // namespace zorvik::tool
