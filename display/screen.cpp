#include "display/screen.hpp"

namespace zorvik {

void drawHeader(std::ostream& out, const Song& song, const SampleBankHeader& bank) {
  out << "Zorvik Player v1.0" << std::endl << std::endl;
  out << "Title:      " << textOf(song.title) << std::endl;
  out << "Author:     " << textOf(song.author) << std::endl;
  out << "Samplebank: " << textOf(bank.name) << " by " << textOf(bank.author) << std::endl
      << std::endl;
}

void drawRoll(std::ostream& out, const RollPages& pages, std::int32_t step) {
  int page = step >= kStepsPerPage ? 1 : 0;
  std::int32_t spaces = step - kStepsPerPage * page + 2;
  if (spaces > 0) out << std::string(static_cast<std::size_t>(spaces), ' ');
  out << "@" << std::endl;
  for (const std::string& line : pages.at(static_cast<std::size_t>(page))) out << line << std::endl;
}

void redrawScreen(std::ostream& out, std::string_view clearSequence, const Song& song,
                  const SampleBankHeader& bank, const RollPages& pages, std::int32_t step) {
  out << clearSequence;
  drawHeader(out, song, bank);
  drawRoll(out, pages, step);
  out << "press any key to exit" << std::endl;
}

}  // namespace zorvik
