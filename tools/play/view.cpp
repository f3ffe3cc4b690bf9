#include "tools/play/view.hpp"

#include <cstdio>

#include "display/safe_text.hpp"
#include "display/screen.hpp"
#include "formats/bank.hpp"
#include "formats/song_text.hpp"

namespace zorvik::play {

namespace {

std::string clockTime(std::uint64_t total) {
  auto seconds = static_cast<long long>(total);
  char time[32];
  if (seconds >= 3600) {
    std::snprintf(time, sizeof time, "%lld:%02lld:%02lld", seconds / 3600, seconds / 60 % 60,
                  seconds % 60);
  } else {
    std::snprintf(time, sizeof time, "%lld:%02lld", seconds / 60, seconds % 60);
  }
  return time;
}

}  // namespace

std::string statusLine(const Status& status) {
  std::string line = "song " + std::to_string(status.song) + "/" + std::to_string(status.songs) +
                     " | loop " + std::to_string(status.loop + 1) + " | " +
                     clockTime(status.seconds);
  if (status.length != 0) line += " / " + clockTime(status.length);
  if (status.paused) line += " | paused";
  if (status.muted != 0) {
    line += " | muted";
    for (int k = 0; k < kChannels; ++k) {
      if (status.muted & (1u << k)) line += " " + std::to_string(k + 1);
    }
  }
  if (status.volume != 0) {
    line +=
        std::string(" | ") + (status.volume > 0 ? "+" : "") + std::to_string(status.volume) + " dB";
    if (status.volume == kPlayMaxGainDb) line += " (max)";
    if (status.volume == kPlayMinGainDb) line += " (min)";
  }
  return line;
}

std::vector<std::string> playView(const Deck& deck, int step, const Status& status, int columns,
                                  int lines) {
  std::vector<std::string> out;
  if (columns >= kFullColumns && lines >= kFullLines) {
    out = screenLines(deck.song, deck.bank->header, deck.pages, step, ScreenMode::Terminal);
    out.pop_back();  // "press any key to exit": the keys are on the status line
  } else {
    auto text = [](const TextField& field) { return showText(textOf(field), TextStyle::Line); };
    out.push_back(text(deck.song.title) + " by " + text(deck.song.author));
    out.push_back("step " + std::to_string(step + 1) + "/96");
    std::string cells;
    for (int k = 0; k < kChannels; ++k) {
      cells += (k ? "  " : "") + std::to_string(k + 1) + " " + cellText(deck.song.cells[step][k]);
    }
    out.push_back(cells);
  }
  out.push_back(statusLine(status));
  out.push_back(showText(status.message, TextStyle::Line));
  if (lines <= 1) {
    // One line: where the song is, and the status.
    out = {"step " + std::to_string(step + 1) + " | " + statusLine(status)};
  } else if (static_cast<int>(out.size()) > lines) {
    // Too few lines even for the compact view: the status first.
    std::vector<std::string> few = {out[out.size() - 2], out.front(), out.back()};
    few.resize(static_cast<std::size_t>(std::min(lines, 3)));
    out = std::move(few);
  }
  for (std::string& line : out) line = std::string(fitToWidth(line, columns));
  return out;
}

}  // namespace zorvik::play
