// zorvik play in a build without SDL: the command is there, and says so.
#include "formats/error.hpp"
#include "tools/command.hpp"

namespace zorvik::tool {

namespace {

constexpr CommandSpec kSpec{
    "play",
    "SONG...",
    "play songs (not in this build: it has no sound output)",
    "This zorvik was built without SDL and cannot play: 'zorvik render' writes\n"
    "what a song sounds like to an audio file.\n",
    {},
    0,
    1u << 20,
    {}};

int run(const ParsedArgs&, const Context&) {
  throw Error(
      "this build has no sound output (it was built without SDL): write the song to a file "
      "with 'zorvik render'");
}

}  // namespace

const Command kPlayCommand{kSpec, run};

}  // namespace zorvik::tool
