// zorvik song: songs to text and back.

#include <iostream>
#include <string>

#include "formats/load_error.hpp"
#include "formats/song.hpp"
#include "formats/song_text.hpp"
#include "tools/command.hpp"
#include "tools/output_file.hpp"

namespace zorvik::tool {

namespace {

constexpr const char* kHelp =
    "Usage: zorvik song decompile SONG.zvo\n"
    "       zorvik song compile SONG.txt OUT.zvo\n"
    "\n"
    "decompile writes a song file (version 1 or 2) as text to standard output.\n"
    "compile builds a version-2 song file from that text; '-' reads the text from\n"
    "standard input, or writes the song to standard output. Nothing is written when\n"
    "the text has an error: the message names its line and column.\n"
    "\n"
    "The text holds four header lines, then 96 step lines of three cells:\n"
    "  title  \"Example\"        text fields: at most 32 bytes, escapes \\\" \\\\ \\xHH\n"
    "  author \"Anon\"\n"
    "  bank   \"default.zvi\"    the bank file, looked up in instruments/\n"
    "  tempo  100              0 (slowest) to 255 (fastest)\n"
    "  12a  ---  3:30          a cell: --- (no note), a pitch row and the\n"
    "                          instrument's letter (a = 0 ... z = 25), or\n"
    "                          PITCH:INSTRUMENT in decimal for any two bytes\n"
    "'#' starts a comment.\n"
    "\n"
    "Options:\n"
    "  -h, --help     show this help\n";

int decompile(const std::string& path) {
  try {
    std::cout << decompileSong(loadSong(path)) << std::flush;
  } catch (const LoadError& e) {
    return fail(path + ": " + e.what());
  }
  return std::cout ? 0 : fail("cannot write to standard output");
}

int compile(const std::string& in, const std::string& out) {
  std::string text;
  if (std::string error = readInputFile(in, text); !error.empty()) return fail(error);
  Song song;
  try {
    song = compileSongText(text);
  } catch (const SongTextError& e) {
    return fail((in == "-" ? "standard input" : in) + ": " + e.what());
  }
  auto bytes = songFileBytes(song);
  if (std::string error = writeOutputFile(out, bytes); !error.empty()) return fail(error);
  return 0;
}

}  // namespace

int songCommand(Args args) {
  for (std::string_view arg : args) {
    if (isHelp(arg)) {
      std::cout << kHelp;
      return 0;
    }
    if (arg.size() > 1 && arg[0] == '-')
      return usageError("song", "unknown option '" + std::string(arg) + "'");
  }
  if (args.empty()) return usageError("song", "expected decompile or compile");
  std::string_view action = args[0];
  if (action == "decompile") {
    if (args.size() != 2) return usageError("song", "decompile takes one song file");
    return decompile(args[1]);
  }
  if (action == "compile") {
    if (args.size() != 3) return usageError("song", "compile takes a text file and an output file");
    return compile(args[1], args[2]);
  }
  return usageError("song", "unknown action '" + std::string(action) + "'");
}

}  // namespace zorvik::tool
