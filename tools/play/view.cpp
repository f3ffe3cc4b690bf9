#include "tools/play/view.hpp"

#include <cstdio>

#include "display/safe_text.hpp"
#include "display/screen.hpp"
#include "formats/bank.hpp"
#include "formats/song_text.hpp"

namespace zorvik::play {

std::string fitted(const std::string& text, int columns) {
  std::size_t chars = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    // A character starts at every byte but UTF-8 continuation bytes.
    if ((static_cast<unsigned char>(text[i]) & 0xc0) == 0x80) continue;
    if (chars == static_cast<std::size_t>(columns)) return text.substr(0, i);
    ++chars;
  }
  return text;
}

std::string statusLine(const Status& status) {
  auto seconds = static_cast<long long>(status.seconds);
  char time[32];
  if (seconds >= 3600) {
    std::snprintf(time, sizeof time, "%lld:%02lld:%02lld", seconds / 3600, seconds / 60 % 60,
                  seconds % 60);
  } else {
    std::snprintf(time, sizeof time, "%lld:%02lld", seconds / 60, seconds % 60);
  }
  std::string line = "song " + std::to_string(status.song) + "/" + std::to_string(status.songs) +
                     " | loop " + std::to_string(status.loop + 1) + " | " + time;
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
  }
  return line;
}

std::vector<std::string> playView(const Deck& deck, int step, const Status& status, int columns,
                                  int lines) {
  std::vector<std::string> out;
  if (columns >= kFullColumns && lines >= kFullLines) {
    out = screenLines(deck.song, deck.bank.header, deck.pages, step, ScreenMode::Terminal);
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
  if (static_cast<int>(out.size()) > lines) {
    // Too few lines even for the compact view: the status first.
    std::vector<std::string> few = {out[out.size() - 2], out.front()};
    out.assign(few.begin(), few.begin() + std::min<std::ptrdiff_t>(2, std::max(lines, 1)));
  }
  for (std::string& line : out) line = fitted(line, columns);
  return out;
}

}  // namespace zorvik::play
