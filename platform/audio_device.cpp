#include "platform/audio_device.hpp"

#include <SDL.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "platform/os.hpp"

namespace zorvik::platform {

namespace {

// Opens the device as requested; throws with SDL's reason. No obtained
// format is asked for, so SDL converts to what the device takes.
void openDevice(int rate, AudioCallback callback, void* userdata) {
  SDL_AudioSpec wanted{};
  wanted.freq = rate;
  wanted.format = AUDIO_S16LSB;
  wanted.channels = 1;
  wanted.samples = kDeviceBufferSamples;
  wanted.callback = callback;
  wanted.userdata = userdata;
  if (SDL_Init(SDL_INIT_AUDIO) == 0 && SDL_OpenAudio(&wanted, nullptr) == 0) return;
  std::string reason = SDL_GetError();
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
  throw std::runtime_error(reason.empty() ? "no usable sound device" : reason);
}

// Runs f with standard error sent to the null device: the sound libraries under
// SDL print pages of diagnostics on a machine without a sound card, and the
// one line the program prints says what matters.
template <typename F>
void withQuietStderr(F f) {
  std::fflush(stderr);
  int saved = ::dup(STDERR_FILENO);
  int null = os::openForWriting(os::kNullDevice);
  if (saved >= 0 && null >= 0) ::dup2(null, STDERR_FILENO);
  if (null >= 0) ::close(null);
  struct Restore {
    int saved;
    ~Restore() {
      if (saved >= 0) {
        ::dup2(saved, STDERR_FILENO);
        ::close(saved);
      }
    }
  } restore{saved};
  f();
}

}  // namespace

void stopAudio() { SDL_CloseAudio(); }

AudioStart startAudio(int rate, AudioCallback callback, void* userdata, std::string* reason) {
  // SDL is shut down, and the device with it, when the process exits.
  std::atexit(SDL_Quit);
  AudioStart started = AudioStart::Sound;
  try {
    withQuietStderr([&] { openDevice(rate, callback, userdata); });
  } catch (const std::runtime_error& e) {
    if (reason != nullptr) *reason = e.what();
    os::setEnvironment("SDL_AUDIODRIVER", "dummy");
    try {
      openDevice(rate, callback, userdata);
      started = AudioStart::Silent;
    } catch (const std::runtime_error&) {
      return AudioStart::Nothing;
    }
  }
  SDL_PauseAudio(0);
  return started;
}

}  // namespace zorvik::platform
