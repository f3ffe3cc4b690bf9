// The recipes of the default bank's sounds: each makes one finished sample,
// 16-bit at 32004 Hz, the same values on every call.
#pragma once

#include <cstdint>
#include <vector>

namespace zorvik::instruments {

using Sample16 = std::vector<std::int16_t>;

// Drums (drums.cpp): untuned, short.
Sample16 kick();
Sample16 snare();
Sample16 closedHiHat();
Sample16 openHiHat();
Sample16 clap();
Sample16 tom();

// Melodic sounds (tones.cpp, keys.cpp): recorded at a B, so pitch row 2
// plays a C.
Sample16 bass();
Sample16 pluck();
Sample16 pad();
Sample16 bell();
Sample16 organ();
Sample16 lead();
Sample16 electricPianoLow();
Sample16 electricPianoHigh();
Sample16 marimba();
Sample16 brass();

}  // namespace zorvik::instruments
