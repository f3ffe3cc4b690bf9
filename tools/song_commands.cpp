// zorvik song decompile and compile: songs to text and back.

#include <iostream>
#include <string>

#include "formats/song.hpp"
#include "formats/song_text.hpp"
#include "tools/command.hpp"
#include "tools/input.hpp"
#include "tools/output_file.hpp"

namespace zorvik::tool {

namespace {

constexpr CommandSpec kDecompileSpec{
    "song decompile",
    "SONG [OUT]",
    "write a song as text",
    "Writes a song file (version 1 or 2) as text, to OUT or to standard output.\n"
    "'zorvik song compile' turns the text back into the same bytes.\n",
    {},
    1,
    2};

int decompile(const Command&, const ParsedArgs& args, const Context&) {
  const auto& operands = args.operands();
  std::string out = operands.size() > 1 ? operands[1] : "-";
  refuseInputAsOutput(kDecompileSpec, out, std::span(operands).first(1));
  std::string text = decompileSong(loadSongInput(operands[0]));
  writeOutputFile(out, {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
  return 0;
}

constexpr CommandSpec kCompileSpec{
    "song compile",
    "TEXT OUT",
    "build a song file from its text",
    "Builds a version-2 song file from its text. '-' reads the text from standard\n"
    "input, or writes the song to standard output. Nothing is written when the text\n"
    "has an error: the message names its line and column.\n"
    "\n"
    "The text holds four header lines, then 96 step lines of three cells:\n"
    "  title  \"Example\"        text fields: at most 32 bytes, escapes \\\" \\\\ \\xHH\n"
    "  author \"Anon\"\n"
    "  bank   \"default.zvi\"    the bank file the song names\n"
    "  tempo  100              0 (slowest) to 255 (fastest)\n"
    "  12a  ---  3:30          a cell: --- (no note), a pitch row and the\n"
    "                          instrument's letter (a = 0 ... z = 25), or\n"
    "                          PITCH:INSTRUMENT in decimal for any two bytes\n"
    "'#' starts a comment.\n",
    {},
    2,
    2};

int compile(const Command&, const ParsedArgs& args, const Context&) {
  const auto& operands = args.operands();
  refuseInputAsOutput(kCompileSpec, operands[1], std::span(operands).first(1));
  Input input(operands[0], kMaxSongTextBytes, Input::Larger::Refuse);
  std::string text(static_cast<std::size_t>(input.source().size()), '\0');
  input.source().readZeroFilled(0, text.data(), text.size());
  Song song;
  try {
    song = compileSongText(text);
  } catch (const Error& e) {
    throw Error(input.name() + ": " + e.what());
  }
  auto bytes = songFileBytes(song);
  writeOutputFile(operands[1], bytes);
  return 0;
}

}  // namespace

const Command kSongDecompileCommand{kDecompileSpec, decompile};
const Command kSongCompileCommand{kCompileSpec, compile};

}  // namespace zorvik::tool
