#include "app/audio.hpp"

#include <algorithm>
#include <iostream>
#include <span>

#include "display/screen.hpp"
#include "platform/terminal.hpp"

namespace zorvik {

Playback* thePlayback = nullptr;
RollPages* theRollPages = nullptr;

void fillAudio(Playback& playback, std::uint8_t* stream, int len,
               void (*onStep)(const Playback& playback, int index, void* context), void* context) {
  const int n = len / 2;
  std::int16_t block[1024];
  for (int i = 0; i < n;) {
    // Up to the end of a step at most: the screen follows at once.
    const auto want = static_cast<std::size_t>(std::min<int>(n - i, std::size(block)));
    const std::size_t got = playback.render(std::span(block).first(want));
    for (std::size_t k = 0; k < got; ++k) {
      auto value = static_cast<std::uint16_t>(block[k]);
      stream[2 * (i + static_cast<int>(k))] = static_cast<std::uint8_t>(value);
      stream[2 * (i + static_cast<int>(k)) + 1] = static_cast<std::uint8_t>(value >> 8);
    }
    i += static_cast<int>(got);
    if (playback.stepEnded()) onStep(playback, i - 1, context);
  }
}

namespace {

bool onTerminal() {
  static const bool terminal = platform::outputKind() != platform::Output::NotTerminal;
  return terminal;
}

void drawScreen(const Playback& playback) {
  // On a terminal the screen is drawn over the last one, within the
  // window, with control bytes from the files shown as '?': an escape
  // sequence in a title must not be able to drive the terminal. Elsewhere
  // it is the exact bytes.
  if (onTerminal()) {
    platform::Terminal::Size size = platform::terminalSize();
    platform::Terminal::write(
        terminalFrame(screenLines(playback.song(), playback.bank().header, *theRollPages,
                                  playback.step(), ScreenMode::Terminal),
                      size.columns, size.lines));
    return;
  }
  redrawScreen(std::cout, ScreenMode::Exact, playback.song(), playback.bank().header, *theRollPages,
               playback.step());
}

}  // namespace

void audioCallback(void*, std::uint8_t* stream, int len) {
  fillAudio(
      *thePlayback, stream, len, [](const Playback& playback, int, void*) { drawScreen(playback); },
      nullptr);
  // Back from a stop, or the window resized: the screen is drawn afresh.
  if (platform::takeTerminalRedraw() && onTerminal()) drawScreen(*thePlayback);
}

}  // namespace zorvik
