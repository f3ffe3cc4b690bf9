// Recipes of the struck and keyed sounds: bell, organ, electric piano and
// marimba, built from sine partials and frequency modulation.

#include <array>
#include <cmath>

#include "instruments/recipes.hpp"
#include "instruments/synth.hpp"

namespace zorvik::instruments {

using namespace synth;

// Bell, recorded at B4: frequency modulation with the modulator at 3.5 times
// the carrier, which gives the inharmonic partials (1, 2.5, 4.5, 6 ...) of
// struck metal; the modulation index dies away faster than the note, so the
// strike is bright and the ring pure. A faint partial at 2.76 adds shimmer.
Sample16 bell() {
  Signal s(frames(2.0));
  for (std::size_t i = 0; i < s.size(); ++i) {
    double t = timeOf(i);
    double index = 0.4 + 3.0 * decay(t, 0.4);
    double tone = sine(kB4 * t + index / (2.0 * kPi) * sine(3.5 * kB4 * t));
    double shimmer = 0.2 * sine(2.76 * kB4 * t) * decay(t, 0.3);
    s[i] = (tone * decay(t, 0.8) + shimmer) * rise(t, 0.001);
  }
  return finish(std::move(s), {.peakDb = -3.0, .fadeSeconds = 0.2});
}

// Organ, recorded at B3: tonewheel drawbars as sine harmonics 8', 4',
// 2 2/3', 2' and 1', a decaying third harmonic for the percussion, a short
// key click and a slow tremolo. It holds at full level until the fade.
Sample16 organ() {
  struct Drawbar {
    double harmonic, level;
  };
  constexpr std::array<Drawbar, 5> kDrawbars = {
      {{1, 1.0}, {2, 0.7}, {3, 0.45}, {4, 0.4}, {8, 0.2}}};
  Noise noise(0x6F726721);
  StateVariable click;
  Signal s(frames(2.0));
  for (std::size_t i = 0; i < s.size(); ++i) {
    double t = timeOf(i);
    double tone = 0.0;
    for (const auto& bar : kDrawbars) tone += bar.level * sine(bar.harmonic * kB3 * t);
    tone += 0.5 * sine(3.0 * kB3 * t) * decay(t, 0.2);
    tone *= 1.0 + 0.03 * sine(6.3 * t);
    double key = click.process(noise.next(), 3000.0, 0.7).high * decay(t, 0.004);
    s[i] = tone * rise(t, 0.004) + 0.6 * key;
  }
  return finish(std::move(s), {.peakDb = -3.0, .fadeSeconds = 0.06});
}

namespace {

// A tine electric piano note at pitch `hz`: a sine modulated at the same
// frequency (the warm "bark" that fades as the note rings) plus the tine's
// high ping at `pingRatio` times the pitch.
Signal electricPiano(double hz, double bark, double barkTau, double pingRatio, double ping,
                     double ringTau) {
  Signal s(frames(2.0));
  for (std::size_t i = 0; i < s.size(); ++i) {
    double t = timeOf(i);
    double index = 0.2 + bark * decay(t, barkTau);
    double body = sine(hz * t + index / (2.0 * kPi) * sine(hz * t));
    double tine = ping * sine(pingRatio * hz * t) * decay(t, 0.03);
    s[i] = (body * decay(t, ringTau) + tine) * rise(t, 0.002);
  }
  return s;
}

}  // namespace

// Instrument m plays sample 12 on pitch rows 0 to 6 and sample 13 from row
// 7, each at the row's usual rate. Both are therefore recorded at the same
// B2: were sample 13 an octave higher, the scale would jump an octave
// between rows 6 and 7. What differs is what each register needs once
// played at its rows' rates.
//
// Low register (rows 0-6, played at 0.94 to 1.59 times): full bark and the
// tine's ping at the 14th harmonic.
Sample16 electricPianoLow() {
  return finish(electricPiano(kB2, 1.8, 0.35, 14.0, 0.12, 1.1),
                {.peakDb = -3.0, .fadeSeconds = 0.15});
}

// High register (rows 7-15, played at 1.78 to 4 times): playing faster
// raises every partial and shortens every decay, so this sample is made
// rounder (less bark, the ping at the 7th harmonic, so that it stays below
// 4 kHz before it is sped up) and rings twice as long, so that played high
// it sounds like the upper keys of the same piano rather than a toy.
Sample16 electricPianoHigh() {
  return finish(electricPiano(kB2, 1.0, 0.7, 7.0, 0.18, 2.2), {.peakDb = -3.0, .fadeSeconds = 0.3});
}

// Marimba, recorded at B3: a wooden bar's modes, tuned to 1, 4 and 10 times
// the pitch as marimba bars are, the higher ones dying quickly, with a soft
// mallet thump at the start.
Sample16 marimba() {
  Noise noise(0x6D617221);
  OnePole mallet(1500.0);
  Signal s(frames(1.2));
  for (std::size_t i = 0; i < s.size(); ++i) {
    double t = timeOf(i);
    double bar = sine(kB3 * t) * decay(t, 0.45) + 0.35 * sine(4.0 * kB3 * t) * decay(t, 0.1) +
                 0.12 * sine(10.0 * kB3 * t) * decay(t, 0.035);
    double thump = mallet.process(noise.next()) * decay(t, 0.003);
    s[i] = bar * rise(t, 0.0005) + 0.5 * thump;
  }
  return finish(std::move(s), {.peakDb = -3.0, .fadeSeconds = 0.05});
}

}  // namespace zorvik::instruments
