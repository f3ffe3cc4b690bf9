// Recipes of the synthesised melodic sounds: bass, pluck, pad, lead, brass.

#include <algorithm>
#include <array>
#include <cmath>

#include "instruments/recipes.hpp"
#include "instruments/synth.hpp"

namespace zorvik::instruments {

using namespace synth;

// Bass, recorded at B2: a sawtooth with a sine under it for weight, through
// a resonant low-pass that closes from 2.3 kHz to 200 Hz, so each note
// starts with a pluck and settles into a round tone.
Sample16 bass() {
  const double dt = kB2 / kRate;
  Phase phase;
  StateVariable filter;
  Signal s(frames(1.6));
  for (std::size_t i = 0; i < s.size(); ++i) {
    double t = timeOf(i);
    double p = phase.advance(kB2);
    double raw = sawWave(p, dt) + 0.6 * sine(p);
    double cutoff = 200.0 + 2100.0 * decay(t, 0.1);
    s[i] = filter.process(raw, cutoff, 1.4).low * rise(t, 0.002) * decay(t, 0.7);
  }
  return finish(std::move(s), {.peakDb = -3.0, .fadeSeconds = 0.1});
}

// Pluck, recorded at B3: a Karplus-Strong string. A burst of soft noise
// circulates in a delay line one period long; averaging neighbours on each
// pass takes off the highs first, as a plucked string does. The loop's
// delay is the integer line, half a value for the averager and a first-order
// all-pass for the fraction left, which keeps the tuning exact.
Sample16 pluck() {
  const double period = kRate / kB3;
  const int line = static_cast<int>(std::floor(period - 0.5 - 0.1));  // all-pass wants 0.1..1.1
  const double fraction = period - 0.5 - line;
  const double allPass = (1.0 - fraction) / (1.0 + fraction);

  Noise noise(0x706C756B);
  OnePole soften(5000.0);
  Signal s(frames(1.5));
  double previousIn = 0.0, previousOut = 0.0;
  // The excitation: one period of noise without its average, so that no
  // offset circulates and decays.
  Signal burst(static_cast<std::size_t>(line));
  double mean = 0.0;
  for (double& v : burst) mean += (v = soften.process(noise.next()));
  mean /= static_cast<double>(burst.size());

  Signal ring(static_cast<std::size_t>(line) + 1, 0.0);  // delayed loop output
  for (std::size_t i = 0; i < s.size(); ++i) {
    double input = i < burst.size() ? burst[i] - mean : 0.0;
    double delayed = ring[i % ring.size()];      // value `line`+1 back...
    double newer = ring[(i + 1) % ring.size()];  // ...and `line` back
    // Averaging the two adjacent values delays by 0.5; the all-pass adds
    // the fraction.
    double averaged = 0.996 * 0.5 * (delayed + newer);
    double tuned = allPass * averaged + previousIn - allPass * previousOut;
    previousIn = averaged;
    previousOut = tuned;
    double y = input + tuned;
    ring[i % ring.size()] = y;
    s[i] = y;
  }
  return finish(std::move(s), {.peakDb = -3.0, .fadeSeconds = 0.1});
}

// Pad, recorded at B3: a sawtooth at the pitch with six quieter ones spread
// over +-17 cents around it (a string section's chorus; the centre voice
// keeps the beating from ever cancelling the note), softened by a low-pass
// that opens slowly, with a slow swell at the start; it holds until the fade.
Sample16 pad() {
  struct Voice {
    double cents, level;
  };
  constexpr std::array<Voice, 7> kVoices = {
      {{0.0, 1.0}, {-6.0, 0.3}, {6.5, 0.3}, {-11.0, 0.3}, {11.5, 0.3}, {-17.0, 0.3}, {16.0, 0.3}}};
  Noise noise(0x70616421);
  std::array<Phase, kVoices.size()> phases;
  for (auto& p : phases) p = Phase(0.5 + 0.5 * noise.next());  // unaligned starts
  StateVariable filter;
  Signal s(frames(2.0));
  for (std::size_t i = 0; i < s.size(); ++i) {
    double t = timeOf(i);
    double sum = 0.0;
    for (std::size_t k = 0; k < kVoices.size(); ++k) {
      double hz = kB3 * cents(kVoices[k].cents);
      sum += kVoices[k].level * sawWave(phases[k].advance(hz), hz / kRate);
    }
    double cutoff = 1200.0 + 1300.0 * rise(t, 0.5);
    s[i] = filter.process(sum, cutoff, 0.7).low * rise(t, 0.15);
  }
  return finish(std::move(s), {.peakDb = -4.0, .fadeSeconds = 0.4});
}

// Lead, recorded at B3: a square wave, slightly rounded by a low-pass, with
// a vibrato of +-12 cents that fades in after a quarter second.
Sample16 lead() {
  Phase phase;
  StateVariable filter;
  Signal s(frames(1.6));
  for (std::size_t i = 0; i < s.size(); ++i) {
    double t = timeOf(i);
    double depth = std::clamp((t - 0.25) / 0.4, 0.0, 1.0) * 12.0;
    double hz = kB3 * cents(depth * sine(5.5 * t));
    double raw = squareWave(phase.advance(hz), hz / kRate);
    s[i] = filter.process(raw, 4500.0, 0.7).low * rise(t, 0.003);
  }
  return finish(std::move(s), {.peakDb = -6.0, .fadeSeconds = 0.08});
}

// Brass, recorded at B3: a sawtooth whose low-pass opens with the breath
// (bright attack, then a little darker), starting a few cents flat as a lip
// finds the note, with a light vibrato later on and gentle saturation.
Sample16 brass() {
  Phase phase;
  StateVariable filter;
  Signal s(frames(1.6));
  for (std::size_t i = 0; i < s.size(); ++i) {
    double t = timeOf(i);
    double breath = rise(t, 0.025) * (0.85 + 0.15 * decay(t, 0.15));
    double vibrato = std::clamp((t - 0.3) / 0.4, 0.0, 1.0) * 8.0 * sine(5.0 * t);
    double hz = kB3 * cents(-40.0 * decay(t, 0.012) + vibrato);
    double raw = sawWave(phase.advance(hz), hz / kRate);
    double cutoff = 400.0 + 2600.0 * breath;
    s[i] = std::tanh(1.5 * filter.process(raw, cutoff, 0.9).low * breath);
  }
  return finish(std::move(s), {.peakDb = -3.0, .fadeSeconds = 0.08});
}

}  // namespace zorvik::instruments
