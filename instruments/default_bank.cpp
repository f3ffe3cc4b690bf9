#include "instruments/default_bank.hpp"

#include "instruments/recipes.hpp"

namespace zorvik::instruments {

std::array<std::vector<std::int16_t>, kBankSamples> defaultBankSamples() {
  return {
      kick(),               // a
      snare(),              // b
      closedHiHat(),        // c
      openHiHat(),          // d
      clap(),               // e
      tom(),                // f
      bass(),               // g
      pluck(),              // h
      pad(),                // i
      bell(),               // j
      organ(),              // k
      lead(),               // l
      electricPianoLow(),   // m, pitch rows 0-6
      electricPianoHigh(),  // m, pitch rows 7-15
      marimba(),            // n
      brass(),              // o
  };
}

std::vector<std::uint8_t> defaultBankBytes() {
  return sampleBankFileBytes(makeTextField(kDefaultBankName), makeTextField(kDefaultBankAuthor),
                             defaultBankSamples());
}

}  // namespace zorvik::instruments
