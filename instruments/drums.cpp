// Drum recipes. Each drum has its own noise seed, so changing one drum never
// changes another.

#include <algorithm>

#include "instruments/recipes.hpp"
#include "instruments/synth.hpp"

namespace zorvik::instruments {

using namespace synth;

// Kick: a sine swept down from about 160 Hz to 48 Hz in some 50 ms, with a
// short filtered click for the beater; softly saturated for punch.
Sample16 kick() {
  Noise noise(0x6B69636B);
  OnePole clickTone(3000.0);
  Phase phase;
  Signal s(frames(0.45));
  for (std::size_t i = 0; i < s.size(); ++i) {
    double t = timeOf(i);
    double body = sine(phase.advance(48.0 + 112.0 * decay(t, 0.04))) * decay(t, 0.16);
    double click = clickTone.process(noise.next()) * decay(t, 0.003);
    s[i] = std::tanh(1.6 * (body + 0.5 * click));
  }
  return finish(std::move(s), {.peakDb = -3.0, .fadeSeconds = 0.03});
}

// Snare: two damped drum-head modes (185 and 330 Hz) under a burst of noise
// high-passed at 1.8 kHz for the wires, which ring longer than the head.
Sample16 snare() {
  Noise noise(0x736E6172);
  StateVariable wires;
  Signal s(frames(0.32));
  for (std::size_t i = 0; i < s.size(); ++i) {
    double t = timeOf(i);
    double head = sine(185.0 * t) * decay(t, 0.05) + 0.5 * sine(330.0 * t) * decay(t, 0.03);
    double rattle = wires.process(noise.next(), 1800.0, 0.8).high * decay(t, 0.075);
    s[i] = 0.6 * head + 0.9 * rattle;
  }
  return finish(std::move(s), {.peakDb = -3.0, .fadeSeconds = 0.02});
}

namespace {

// The metal of both hi-hats: six square waves at clashing, unrelated
// frequencies mixed with noise, high-passed so only the shimmer is left.
Signal cymbalMetal(std::size_t n, std::uint32_t seed) {
  constexpr double kPartials[] = {355.0, 527.0, 639.0, 903.0, 934.0, 1384.0};
  Noise noise(seed);
  StateVariable brightOnly, brighter;
  Signal s(n);
  for (std::size_t i = 0; i < n; ++i) {
    double t = timeOf(i);
    double metal = 0.0;
    for (double hz : kPartials) {
      double p = hz * t;
      metal += p - std::floor(p) < 0.5 ? 1.0 : -1.0;
    }
    double x = metal / 6.0 + 0.8 * noise.next();
    s[i] = brighter.process(brightOnly.process(x, 7000.0, 0.7).high, 7000.0, 0.7).high;
  }
  return s;
}

}  // namespace

// Closed hi-hat: the cymbal metal choked within a few tens of milliseconds.
Sample16 closedHiHat() {
  Signal s = cymbalMetal(frames(0.12), 0x63686174);
  for (std::size_t i = 0; i < s.size(); ++i) s[i] *= decay(timeOf(i), 0.018);
  return finish(std::move(s), {.peakDb = -6.0, .fadeSeconds = 0.02});
}

// Open hi-hat: the same metal left to ring for a few hundred milliseconds.
Sample16 openHiHat() {
  Signal s = cymbalMetal(frames(0.6), 0x6F686174);
  for (std::size_t i = 0; i < s.size(); ++i) s[i] *= decay(timeOf(i), 0.2);
  return finish(std::move(s), {.peakDb = -6.0, .fadeSeconds = 0.1});
}

// Clap: noise band-passed around 1.2 kHz, as three quick slaps 11 ms apart
// (several hands not quite together) and then the room's short tail.
Sample16 clap() {
  Noise noise(0x636C6170);
  StateVariable band;
  Signal s(frames(0.4));
  for (std::size_t i = 0; i < s.size(); ++i) {
    double t = timeOf(i);
    double level = 0.0;
    for (double start : {0.0, 0.011, 0.022}) {
      if (t >= start) level = std::max(level, decay(t - start, 0.004));
    }
    if (t >= 0.031) level = std::max(level, 0.8 * decay(t - 0.031, 0.09));
    s[i] = band.process(noise.next(), 1200.0, 1.6).band * level;
  }
  return finish(std::move(s), {.peakDb = -3.0, .fadeSeconds = 0.04});
}

// Tom: a sine that drops half an octave onto B2 as the head settles, with a
// touch of stick noise. Row 1 plays it at B2; higher rows give smaller toms.
Sample16 tom() {
  Noise noise(0x746F6D21);
  StateVariable stick;
  Phase phase;
  Signal s(frames(0.6));
  for (std::size_t i = 0; i < s.size(); ++i) {
    double t = timeOf(i);
    double head = sine(phase.advance(kB2 * (1.0 + 0.45 * decay(t, 0.05)))) * decay(t, 0.22);
    double hit = stick.process(noise.next(), 2500.0, 1.0).band * decay(t, 0.008);
    s[i] = head + 0.4 * hit;
  }
  return finish(std::move(s), {.peakDb = -3.0, .fadeSeconds = 0.05});
}

}  // namespace zorvik::instruments
