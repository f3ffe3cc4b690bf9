// Rounding and clipping of sample values, and the bank's length limits.

#include "tools/bank_samples.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "formats/bank.hpp"

namespace zorvik::tool {
namespace {

TEST(ToBankValues, RoundsHalvesAwayFromZeroAndClipsTo16Bits) {
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    double in;
    std::int16_t out;
    bool clipped;
  } cases[] = {
      {0.5, 1, false},           {-0.5, -1, false},        {1.49, 1, false},
      {-2.5, -3, false},         {32767.4, 32767, false},  {32767.5, 32767, true},
      {-32768.4, -32768, false}, {-32768.5, -32768, true}, {1e12, 32767, true},
      {-inf, -32768, true},      {std::nan(""), 0, true},
  };
  for (const auto& c : cases) {
    BankValues v = toBankValues(std::vector<double>{c.in});
    ASSERT_EQ(v.values.size(), 1u);
    EXPECT_EQ(v.values[0], c.out) << c.in;
    EXPECT_EQ(v.clipped, c.clipped ? 1u : 0u) << c.in;
  }
  EXPECT_EQ(toBankValues(std::vector<double>{40000, 3, -40000, 32768}).clipped, 3u);
}

TEST(BankSizeProblem, LengthsAndOffsetsMustFit32Bits) {
  // Sample 0 this long makes sample 1 start at 0xFFFFFFFE, the last even
  // offset a descriptor holds.
  const std::uint64_t fillsOffsets = (0xFFFFFFFEu - kBankDataStart) / 2;
  struct Case {
    const char* what;
    std::vector<std::uint64_t> lengths;
    const char* problem;  // part of the message, or nullptr when it fits
  } cases[] = {
      {"all empty", std::vector<std::uint64_t>(16, 0), nullptr},
      {"one at the limit", {kMaxSampleValues}, nullptr},
      {"one past the limit", {kMaxSampleValues + 1}, "sample 0 has 2147483648 values"},
      {"next starts at the last offset", {fillsOffsets, 1}, nullptr},
      {"one after it starts past 4 GiB", {fillsOffsets, 1, 0}, "sample 2 would start past"},
  };
  for (const auto& c : cases) {
    auto problem = bankSizeProblem(c.lengths);
    if (c.problem == nullptr) {
      EXPECT_FALSE(problem) << c.what << ": " << *problem;
    } else {
      ASSERT_TRUE(problem) << c.what;
      EXPECT_NE(problem->find(c.problem), std::string::npos) << c.what << ": " << *problem;
    }
  }
}

}  // namespace
}  // namespace zorvik::tool
