#include "app/audio.hpp"

#include <SDL.h>

#include <cstdlib>
#include <iostream>

#include "app/console.hpp"
#include "display/screen.hpp"

namespace zorvik {

Player* thePlayer = nullptr;
RollPages* theRollPages = nullptr;

void audioCallback(void*, std::uint8_t* stream, int len) {
  int n = len / 2;
  Player& player = *thePlayer;
  for (int i = 0; i < n; ++i) {
    auto value = static_cast<std::uint16_t>(nextSample(player));
    stream[2 * i] = static_cast<std::uint8_t>(value);
    stream[2 * i + 1] = static_cast<std::uint8_t>(value >> 8);
    if (player.redraw) {
      redrawScreen(std::cout, console::clearSequence(), *player.song, player.bank->header,
                   *theRollPages, player.currentStep);
    }
  }
}

namespace {

bool openDevice() {
  if (SDL_Init(SDL_INIT_AUDIO) != 0) return false;
  SDL_AudioSpec wanted{};
  wanted.freq = 32004;
  wanted.format = AUDIO_S16LSB;
  wanted.channels = 1;
  wanted.samples = 4096;
  wanted.callback = audioCallback;
  wanted.userdata = nullptr;
  SDL_AudioSpec obtained{};
  if (SDL_OpenAudio(&wanted, &obtained) != 0) {
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return false;
  }
  return true;
}

}  // namespace

void startAudio() {
  // SDL is shut down, and the device with it, when the process exits.
  std::atexit(SDL_Quit);
  if (!openDevice()) {
    std::cerr << "zorvikpla: cannot start audio (" << SDL_GetError()
              << "); playing on without sound" << std::endl;
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    openDevice();
  }
  SDL_PauseAudio(0);
}

}  // namespace zorvik
