// Sound output through SDL 1.2: signed 16-bit little-endian mono at the
// songs' rate, in buffers of 4096 samples, from a callback of the caller's.
#pragma once

#include <cstdint>
#include <string>

namespace zorvik::platform {

// Samples in one device buffer, as both programs ask for them.
inline constexpr int kDeviceBufferSamples = 4096;

using AudioCallback = void (*)(void* userdata, std::uint8_t* stream, int len);

// How the device started.
enum class AudioStart {
  Sound,    // a sound device plays
  Silent,   // none could start: SDL's silent "dummy" driver calls back at the same pace
  Nothing,  // not even that: nothing will call back
};

// Opens the device for `callback` and starts it: `rate` Hz, signed 16-bit
// little-endian mono, in buffers of kDeviceBufferSamples. SDL converts to
// whatever the device takes, so the callback always gets exactly that.
// When no device starts, `reason` (when not null) gets SDL's reason and it
// goes on with the silent driver. SDL is shut down when the process exits.
AudioStart startAudio(int rate, AudioCallback callback, void* userdata, std::string* reason);

// Stops the device: the callback is not called again (before what it reads
// is destroyed).
void stopAudio();

}  // namespace zorvik::platform
