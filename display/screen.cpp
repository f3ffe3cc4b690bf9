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

std::string terminalFrame(const ScreenLines& lines) {
  constexpr std::string_view kHome = "\x1b[H", kEndLine = "\x1b[K\n", kEraseBelow = "\x1b[J";
  std::size_t size = kHome.size() + kEraseBelow.size();
  for (const std::string& line : lines) size += line.size() + kEndLine.size();
  std::string frame;
  frame.reserve(size);
  frame += kHome;
  for (const std::string& line : lines) {
    frame += line;
    frame += kEndLine;
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
