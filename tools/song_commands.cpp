// zorvik song decompile and compile: songs to text and back.

#include <iostream>
#include <string>
#include <vector>

#include "formats/song.hpp"
#include "formats/song_text.hpp"
#include "tools/command.hpp"
#include "tools/input.hpp"
#include "tools/messages.hpp"
#include "tools/output_file.hpp"

namespace zorvik::tool {

namespace {

constexpr OptionSpec kDecompileOptions[] = {
    {"sparse", 's', "", "write only the steps that hold something, each\nwith its number"},
};

constexpr CommandSpec kDecompileSpec{
    "song decompile",
    "SONG [OUT]",
    "write a song as text",
    "Writes a song (a .zvo file of version 1 or 2, or a song text) as text, to OUT\n"
    "or to standard output; '-' reads it from standard input. Pitch rows 0 to 15 are\n"
    "written as note names. 'zorvik song compile' turns the text back into the same\n"
    "bytes, in either layout.\n",
    kDecompileOptions,
    1,
    2,
    {}};

int decompile(const ParsedArgs& args, const Context&) {
  const auto& operands = args.operands();
  std::string out = operands.size() > 1 ? operands[1] : "-";
  refuseInputAsOutput(kDecompileSpec, out, std::span(operands).first(1));
  std::string text = decompileSong(loadSongInput(operands[0]), {args.has("sparse")});
  writeOutputFile(out, {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
  return 0;
}

constexpr OptionSpec kCompileOptions[] = {
    {"strict", 0, "", "make the warnings errors: write nothing and exit 1"},
};

constexpr CommandSpec kCompileSpec{
    "song compile",
    "TEXT OUT",
    "build a song file from its text",
    "Builds a version-2 song file from its text. '-' reads the text from standard\n"
    "input, or writes the song to standard output. Nothing is written when the text\n"
    "has an error: the message names its line and column. Notes that cannot sound\n"
    "(an instrument past the bank's samples, a pitch row past 15) or show on the\n"
    "piano roll (rows outside 1 to 13) are warned about, with where they are.\n"
    "\n"
    "The text holds four header lines, then step lines of three cells:\n"
    "  title  \"Example\"        text fields: at most 32 bytes, escapes \\\" \\\\ \\xHH\n"
    "  author \"Anon\"\n"
    "  bank   \"default.zvi\"    the bank file the song names\n"
    "  tempo  100              0 (slowest) to 255 (fastest); four steps make a\n"
    "                          beat, and tempo 50 is 40.8 beats a minute, 100 is\n"
    "                          80.7, 127 is 102.2, 150 is 120.5, 200 is 160.3 and\n"
    "                          255 is 204.0\n"
    "  C4a  ---  12:30         step 0; a cell is --- (no note), a pitch and the\n"
    "                          instrument's letter (a = 0 ... z = 25), or\n"
    "                          PITCH:INSTRUMENT in decimal for any two bytes\n"
    "  24: E4b  ---  G4h       step 24: steps not written are empty\n"
    "A pitch is a note name, A#3 (or Bb3) B3 C4 D4 E4 F4 G4 A4 B4 C5 D5 E5 F5 G5 A5\n"
    "B5 for rows 0 to 15 (the notes the default bank plays), or a row number 0 to\n"
    "255. An unnumbered step line is the step after the one before; numbered ones\n"
    "ascend. '#' starts a comment.\n",
    kCompileOptions,
    2,
    2,
    {}};

int compile(const ParsedArgs& args, const Context&) {
  const auto& operands = args.operands();
  refuseInputAsOutput(kCompileSpec, operands[1], std::span(operands).first(1));
  std::vector<SongTextWarning> warnings;
  const Song song = loadSongInput(operands[0], &warnings, SongKinds::TextOnly);
  const std::string name = operands[0] == "-" ? "standard input" : shownName(operands[0]);
  for (const SongTextWarning& w : warnings) {
    std::string where = name + ": line " + std::to_string(w.line) + ", column " +
                        std::to_string(w.column) + ": " + w.message;
    if (args.has("strict")) {
      say(where);
    } else {
      warn(where);
    }
  }
  if (args.has("strict") && !warnings.empty()) return 1;
  auto bytes = songFileBytes(song);
  writeOutputFile(operands[1], bytes);
  return 0;
}

}  // namespace

const Command kSongDecompileCommand{kDecompileSpec, decompile};
const Command kSongCompileCommand{kCompileSpec, compile};

}  // namespace zorvik::tool
