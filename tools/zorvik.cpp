// zorvik: the command-line companion of the player: renders songs to audio
// files, converts songs to and from text, and builds and inspects banks.

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <iostream>
#include <string>

#include "tools/command.hpp"

namespace zorvik::tool {

const char* programPath = nullptr;

int fail(std::string_view message) {
  std::cerr << "zorvik: " << message << std::endl;
  return 1;
}

int usageError(std::string_view command, std::string_view message) {
  std::cerr << "zorvik " << command << ": " << message << "\n"
            << "Try 'zorvik " << command << " --help'." << std::endl;
  return 2;
}

bool isHelp(std::string_view arg) { return arg == "--help" || arg == "-h"; }

std::optional<long long> parseInteger(std::string_view text, long long min, long long max) {
  long long value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < min || value > max) {
    return std::nullopt;
  }
  return value;
}

std::optional<double> parseNumber(std::string_view text) {
  std::string copy(text);
  char* end = nullptr;
  errno = 0;
  double value = std::strtod(copy.c_str(), &end);
  if (copy.empty() || *end != '\0' || errno != 0) return std::nullopt;
  return value;
}

}  // namespace zorvik::tool

namespace {

constexpr const char* kUsage =
    "Usage: zorvik COMMAND [ARGS...]\n"
    "\n"
    "Commands:\n"
    "  render SONG.zvo OUT    render a song to a WAV, FLAC or AIFF file\n"
    "  info SONG.zvo          describe a song and warn about notes that cannot play\n"
    "  song decompile SONG.zvo\n"
    "                         write a song as text to standard output\n"
    "  song compile SONG.txt OUT.zvo\n"
    "                         build a song file from its text\n"
    "  bank build OUT.zvi --name NAME --author AUTHOR FILE...\n"
    "                         build a bank from 16 audio files\n"
    "  bank list FILE.zvi     show a bank's header and samples\n"
    "  bank extract FILE.zvi DIR\n"
    "                         write a bank's 16 samples as WAV files\n"
    "\n"
    "Run 'zorvik COMMAND --help' for the options of a command.\n";

}  // namespace

int main(int argc, char** argv) {
  using namespace zorvik::tool;
  programPath = argv[0];
  if (argc < 2) {
    std::cerr << kUsage;
    return 2;
  }
  std::string_view command = argv[1];
  Args rest(argv + 2, static_cast<std::size_t>(argc - 2));
  if (isHelp(command)) {
    std::cout << kUsage;
    return 0;
  }
  if (command == "render") return renderCommand(rest);
  if (command == "song") return songCommand(rest);
  if (command == "bank") return bankCommand(rest);
  if (command == "info") return infoCommand(rest);
  std::cerr << "zorvik: unknown command '" << command << "'\n" << kUsage;
  return 2;
}
