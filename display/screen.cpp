#include "display/screen.hpp"

namespace zorvik {

namespace {

bool isControl(char c) {
  auto byte = static_cast<unsigned char>(c);
  return byte < 0x20 || byte == 0x7f;
}

// Writes bytes from a file; in Printable mode runs of ordinary bytes go out
// as they are and each control byte as '?'.
void writeFileText(std::ostream& out, std::string_view text, FileText mode) {
  if (mode == FileText::Exact) {
    out << text;
    return;
  }
  while (!text.empty()) {
    std::size_t run = 0;
    while (run < text.size() && !isControl(text[run])) ++run;
    out.write(text.data(), static_cast<std::streamsize>(run));
    if (run == text.size()) break;
    out.put('?');
    text.remove_prefix(run + 1);
  }
}

}  // namespace

void drawHeader(std::ostream& out, const Song& song, const SampleBankHeader& bank, FileText mode) {
  out << "Zorvik Player v1.0" << std::endl << std::endl;
  out << "Title:      ";
  writeFileText(out, textOf(song.title), mode);
  out << std::endl << "Author:     ";
  writeFileText(out, textOf(song.author), mode);
  out << std::endl << "Samplebank: ";
  writeFileText(out, textOf(bank.name), mode);
  out << " by ";
  writeFileText(out, textOf(bank.author), mode);
  out << std::endl << std::endl;
}

void drawRoll(std::ostream& out, const RollPages& pages, std::int32_t step, FileText mode) {
  int page = step >= kStepsPerPage ? 1 : 0;
  std::int32_t spaces = step - kStepsPerPage * page + 2;
  if (spaces > 0) out << std::string(static_cast<std::size_t>(spaces), ' ');
  out << "@" << std::endl;
  for (const std::string& line : pages.at(static_cast<std::size_t>(page))) {
    writeFileText(out, line, mode);
    out << std::endl;
  }
}

void redrawScreen(std::ostream& out, std::string_view clearSequence, const Song& song,
                  const SampleBankHeader& bank, const RollPages& pages, std::int32_t step,
                  FileText mode) {
  out << clearSequence;
  drawHeader(out, song, bank, mode);
  drawRoll(out, pages, step, mode);
  out << "press any key to exit" << std::endl;
}

}  // namespace zorvik
