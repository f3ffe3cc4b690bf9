#include "app/audio.hpp"

#include <SDL.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>

#include "app/console.hpp"
#include "display/screen.hpp"

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

void audioCallback(void*, std::uint8_t* stream, int len) {
  fillAudio(
      *thePlayer, stream, len,
      [](const Player& player, int, void*) {
        // On a terminal, control bytes from the files are shown as '?': an
        // escape sequence in a title must not be able to drive the terminal.
        std::string_view clear = console::clearSequence();
        redrawScreen(std::cout, clear, *player.song, player.bank->header, *theRollPages,
                     player.currentStep, clear.empty() ? FileText::Exact : FileText::Printable);
      },
      nullptr);
}

namespace {

// Opens the device as requested; on failure returns SDL's reason.
std::optional<std::string> openDevice() {
  SDL_AudioSpec wanted{};
  wanted.freq = 32004;
  wanted.format = AUDIO_S16LSB;
  wanted.channels = 1;
  wanted.samples = 4096;
  wanted.callback = audioCallback;
  wanted.userdata = nullptr;
  SDL_AudioSpec obtained{};
  if (SDL_Init(SDL_INIT_AUDIO) == 0 && SDL_OpenAudio(&wanted, &obtained) == 0) return std::nullopt;
  std::string reason = SDL_GetError();
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
  return reason.empty() ? "no usable sound device" : reason;
}

// Runs f with standard error sent to /dev/null: the sound libraries under
// SDL print pages of diagnostics on a machine without a sound card, and the
// one line we print says what matters.
template <typename F>
auto withQuietStderr(F f) {
  std::fflush(stderr);
  int saved = ::dup(STDERR_FILENO);
  int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (saved >= 0 && null >= 0) ::dup2(null, STDERR_FILENO);
  if (null >= 0) ::close(null);
  auto result = f();
  if (saved >= 0) {
    ::dup2(saved, STDERR_FILENO);
    ::close(saved);
  }
  return result;
}

}  // namespace

void startAudio() {
  // SDL is shut down, and the device with it, when the process exits.
  std::atexit(SDL_Quit);
  if (auto reason = withQuietStderr(openDevice)) {
    std::cerr << "zorvikpla: cannot start audio (" << *reason << "); playing on without sound"
              << std::endl;
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    openDevice();
  }
  SDL_PauseAudio(0);
}

}  // namespace zorvik
