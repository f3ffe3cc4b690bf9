#include "app/audio.hpp"

#include <SDL.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

#include "app/console.hpp"
#include "display/screen.hpp"
#include "engine/mixer.hpp"
#include "formats/error.hpp"

namespace zorvik {

Player* thePlayer = nullptr;
RollPages* theRollPages = nullptr;

void fillAudio(Player& player, std::uint8_t* stream, int len,
               void (*onStep)(const Player& player, int index, void* context), void* context) {
  int n = len / 2;
  for (int i = 0; i < n; ++i) {
    auto value = static_cast<std::uint16_t>(nextSample(player));
    stream[2 * i] = static_cast<std::uint8_t>(value);
    stream[2 * i + 1] = static_cast<std::uint8_t>(value >> 8);
    if (player.redraw) onStep(player, i, context);
  }
}

namespace {

void drawScreen(const Player& player) {
  // On a terminal the screen is drawn over the last one, with control
  // bytes from the files shown as '?': an escape sequence in a title must
  // not be able to drive the terminal. Elsewhere it is the exact bytes.
  redrawScreen(std::cout, console::outputIsTerminal() ? ScreenMode::Terminal : ScreenMode::Exact,
               *player.song, player.bank->header, *theRollPages, player.currentStep);
}

}  // namespace

void audioCallback(void*, std::uint8_t* stream, int len) {
  fillAudio(
      *thePlayer, stream, len, [](const Player& player, int, void*) { drawScreen(player); },
      nullptr);
  // Back from a stop: the shell may have written over the screen.
  if (console::takeRedrawRequest() && console::outputIsTerminal()) drawScreen(*thePlayer);
}

namespace {

// Opens the device as requested; throws Error with SDL's reason. No
// obtained format is asked for, so SDL converts to what the device takes.
void openDevice(void (*callback)(void*, std::uint8_t*, int), void* userdata) {
  SDL_AudioSpec wanted{};
  wanted.freq = static_cast<int>(kSampleRate);
  wanted.format = AUDIO_S16LSB;
  wanted.channels = 1;
  wanted.samples = kDeviceBufferSamples;
  wanted.callback = callback;
  wanted.userdata = userdata;
  if (SDL_Init(SDL_INIT_AUDIO) == 0 && SDL_OpenAudio(&wanted, nullptr) == 0) return;
  std::string reason = SDL_GetError();
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
  throw Error(reason.empty() ? "no usable sound device" : reason);
}

// Runs f with standard error sent to /dev/null: the sound libraries under
// SDL print pages of diagnostics on a machine without a sound card, and the
// one line we print says what matters.
template <typename F>
void withQuietStderr(F f) {
  std::fflush(stderr);
  int saved = ::dup(STDERR_FILENO);
  int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
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

bool startAudio(void (*callback)(void*, std::uint8_t*, int), void* userdata, const char* program) {
  // SDL is shut down, and the device with it, when the process exits.
  std::atexit(SDL_Quit);
  try {
    withQuietStderr([&] { openDevice(callback, userdata); });
  } catch (const Error& e) {
    if (program != nullptr) {
      std::cerr << program << ": cannot start audio (" << e.what() << "); playing on without sound"
                << std::endl;
    }
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    try {
      openDevice(callback, userdata);
    } catch (const Error&) {
      // Not even the silent driver: nothing calls back.
      return false;
    }
  }
  SDL_PauseAudio(0);
  return true;
}

}  // namespace zorvik
