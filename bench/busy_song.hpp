// The benchmarks' busy song: every step starts notes on all three channels
// at mixed pitch rows, on samples long enough that all three voices always
// sound.
#pragma once

#include <random>

#include "testing/fixtures.hpp"

namespace zorvik::bench {

inline fixtures::SampleSet busySamples() {
  std::mt19937 rng(1);
  fixtures::SampleSet samples;
  for (auto& s : samples) {
    s.resize(64000);  // 2 s: outlasts a step at any row
    for (auto& v : s) v = static_cast<std::int16_t>(rng());
  }
  return samples;
}

inline Song busySong(std::uint8_t tempo) {
  Song song = fixtures::emptySong(tempo, "Busy", "Bench", "busy.zvi");
  for (int step = 0; step < kSteps; ++step) {
    for (int k = 0; k < kChannels; ++k) {
      song.cells[step][k] = {static_cast<std::uint8_t>((step * 5 + k * 7) % 16),
                             static_cast<std::uint8_t>((step + k * 4) % 15)};
    }
  }
  return song;
}

}  // namespace zorvik::bench
