#include "display/screen.hpp"

#include <algorithm>
#include <string_view>

namespace zorvik {

void drawHeader(ScreenLines& out, const Song& song, const SampleBankHeader& bank, TextStyle style) {
  out.emplace_back("Zorvik Player v1.0");
  out.emplace_back();
  out.push_back("Title:      " + showText(textOf(song.title), style));
  out.push_back("Author:     " + showText(textOf(song.author), style));
  out.push_back("Samplebank: " + showText(textOf(bank.name), style) + " by " +
                showText(textOf(bank.author), style));
  out.emplace_back();
}

void drawRoll(ScreenLines& out, const RollPages& pages, std::int32_t step, TextStyle style) {
  int page = step >= kStepsPerPage ? 1 : 0;
  std::int32_t spaces = step - kStepsPerPage * page + 2;
  out.push_back(std::string(static_cast<std::size_t>(std::max(spaces, 0)), ' ') + "@");
  for (const std::string& line : pages.at(static_cast<std::size_t>(page))) {
    out.push_back(showText(line, style == TextStyle::Exact ? style : TextStyle::Columns));
  }
}

ScreenLines screenLines(const Song& song, const SampleBankHeader& bank, const RollPages& pages,
                        std::int32_t step, ScreenMode mode) {
  TextStyle style = mode == ScreenMode::Exact ? TextStyle::Exact : TextStyle::Line;
  ScreenLines lines;
  lines.reserve(kScreenLines);
  drawHeader(lines, song, bank, style);
  drawRoll(lines, pages, step, style);
  lines.emplace_back("press any key to exit");
  return lines;
}

std::string terminalFrame(const ScreenLines& lines, int columns, int rows) {
  constexpr std::string_view kHome = "\x1b[H", kEraseLine = "\x1b[K", kEraseBelow = "\x1b[J";
  const std::size_t shown =
      rows > 0 ? std::min(lines.size(), static_cast<std::size_t>(rows)) : lines.size();
  std::string frame(kHome);
  for (std::size_t i = 0; i < shown; ++i) {
    std::string_view line = columns > 0 ? fitToWidth(lines[i], columns) : lines[i];
    frame += line;
    // A line that fills its row leaves the cursor on its last character,
    // which erasing would take away; there is nothing after it to erase.
    if (columns <= 0 || displayWidth(line) < columns) frame += kEraseLine;
    // On the window's last row a newline would scroll it.
    if (i + 1 < shown || rows <= 0 || shown < static_cast<std::size_t>(rows)) frame += '\n';
  }
  frame += kEraseBelow;
  return frame;
}

void redrawScreen(std::ostream& out, ScreenMode mode, const Song& song,
                  const SampleBankHeader& bank, const RollPages& pages, std::int32_t step) {
  ScreenLines lines = screenLines(song, bank, pages, step, mode);
  if (mode == ScreenMode::Terminal) {
    out << terminalFrame(lines) << std::flush;
    return;
  }
  for (const std::string& line : lines) out << line << std::endl;
}

}  // namespace zorvik
