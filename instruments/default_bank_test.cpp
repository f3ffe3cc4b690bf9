// The default bank as the build makes it: loadable by the player, levelled,
// faded out, the same bytes every time, and in tune.

#include "instruments/default_bank.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "formats/bank.hpp"
#include "testing/fixtures.hpp"

namespace zorvik {
namespace {

constexpr double kRate = kSampleRate;

const SampleBank& builtBank() {
  static const SampleBank bank = loadSampleBankFile(ZORVIK_DEFAULT_BANK);
  return bank;
}

TEST(DefaultBank, SixteenSamplesWithinTheFormatAndLevel) {
  const SampleBank& bank = builtBank();
  EXPECT_EQ(textOf(bank.header.name), "Zorvik Default");
  EXPECT_EQ(textOf(bank.header.author), "Zorvik Player");
  ASSERT_EQ(bank.samples.size(), 16u);
  for (int k = 0; k < kBankSamples; ++k) {
    SCOPED_TRACE("sample " + std::to_string(k));
    SampleDescriptor d = bank.header.descriptor(k);
    EXPECT_EQ(d.bitsPerSample, 16u);
    EXPECT_EQ(d.sampleRate, 32004u);
    const std::vector<std::int16_t> v = bank.samples[k].values();
    ASSERT_GT(v.size(), 1000u);
    EXPECT_EQ(d.byteLength, 2 * v.size());
    double seconds = static_cast<double>(v.size()) / kRate;
    EXPECT_LE(seconds, k < 6 ? 1.0 : 2.1);  // drums are short
    int peak = 0;
    for (std::int16_t x : v) peak = std::max(peak, std::abs(static_cast<int>(x)));
    EXPECT_LT(peak, 32000);
    EXPECT_GT(peak, 14000);  // not left quiet by a levelling mistake
    // Faded out: the last 2 ms are near silence and the very last value is 0,
    // so a note that plays to its end does not click.
    for (std::size_t i = v.size() - 64; i < v.size(); ++i) EXPECT_LT(std::abs(v[i]), 700) << i;
    EXPECT_EQ(v.back(), 0);
  }
}

TEST(DefaultBank, SameBytesFromEveryGeneration) {
  auto first = instruments::defaultBankBytes();
  EXPECT_EQ(first, instruments::defaultBankBytes());
  EXPECT_EQ(first, fixtures::readFile(ZORVIK_DEFAULT_BANK));
}

// FNV-1a of the bank's bytes, as GCC and Clang builds both make them. A
// change here means the bank differs between builds, or a recipe changed
// on purpose and this value with it.
TEST(DefaultBank, KnownChecksum) {
  std::uint64_t hash = 14695981039346656037ull;
  for (std::uint8_t byte : instruments::defaultBankBytes()) hash = (hash ^ byte) * 1099511628211ull;
  EXPECT_EQ(hash, 11060598394044603647ull);
}

// Fundamental in Hz of 4096 values from `start`, by the normalised square
// difference function: the first peak within 90% of the highest, between
// 40 Hz and 1 kHz, refined by a parabola through its neighbours.
double fundamental(const std::vector<std::int16_t>& v, std::size_t start) {
  constexpr std::size_t kWindow = 4096, kMinLag = 32, kMaxLag = 800;
  if (v.size() < start + kWindow + kMaxLag + 1) return 0.0;
  std::vector<double> nsdf(kMaxLag + 2, 0.0);
  for (std::size_t lag = kMinLag - 1; lag <= kMaxLag + 1; ++lag) {
    double product = 0.0, energy = 0.0;
    for (std::size_t i = start; i < start + kWindow; ++i) {
      double a = v[i], b = v[i + lag];
      product += a * b;
      energy += a * a + b * b;
    }
    nsdf[lag] = energy > 0.0 ? 2.0 * product / energy : 0.0;
  }
  double highest = *std::max_element(nsdf.begin() + kMinLag, nsdf.end() - 1);
  for (std::size_t lag = kMinLag; lag <= kMaxLag; ++lag) {
    double a = nsdf[lag - 1], b = nsdf[lag], c = nsdf[lag + 1];
    if (b >= a && b > c && b >= 0.9 * highest) {
      double shift = 0.5 * (a - c) / (a - 2.0 * b + c);
      return kRate / (static_cast<double>(lag) + shift);
    }
  }
  return 0.0;
}

// Within 3 cents, below what the ear notices.
TEST(DefaultBank, MelodicSamplesAreRecordedAtB) {
  constexpr double B2 = 123.4708, B3 = 246.9417, B4 = 493.8833;
  struct Case {
    int sample;
    const char* what;
    double hz;
    double from;  // seconds: past the attack and any pitch sweep or vibrato
    bool anyOctave = false;
  } cases[] = {
      {5, "tom, once settled", B2, 0.35},
      {6, "bass, once its filter has closed", B2, 0.5},
      {7, "pluck", B3, 0.1},
      {8, "pad", B3, 0.5},
      // A bell's partials 1, 2.5, 4.5 ... repeat at twice the period of
      // its lowest one: as with real bells, the octave is ambiguous.
      {9, "bell", B4, 0.5, true},
      {10, "organ", B3, 0.1},
      {11, "lead, before its vibrato", B3, 0.1},
      {12, "electric piano low", B2, 0.1},
      {13, "electric piano high, same B as low", B2, 0.1},
      {14, "marimba", B3, 0.1},
      {15, "brass, after its scoop", B3, 0.1},
  };
  for (const auto& c : cases) {
    const std::vector<std::int16_t> v = builtBank().samples[c.sample].values();
    double hz = fundamental(v, static_cast<std::size_t>(c.from * kRate));
    double off = 1200.0 * std::log2(hz / c.hz);
    if (c.anyOctave) off = std::remainder(off, 1200.0);
    EXPECT_LT(std::abs(off), 3.0) << c.what << ": " << hz << " Hz";
  }
}

}  // namespace
}  // namespace zorvik
