// The tool's inputs, by name: "-" is standard input; a regular file is read
// where it lies; anything else that reads (a pipe, /dev/stdin, the FIFO of a
// shell's <(...)) is read into memory first, never past a bound, so memory
// follows the input and not what it claims.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "formats/bank.hpp"
#include "formats/song.hpp"
#include "formats/song_text.hpp"
#include "formats/source.hpp"
#include "tools/options.hpp"

namespace zorvik::tool {

class Input {
 public:
  enum class Larger { Refuse, Ignore };  // what to do with bytes past the bound

  // Opens an input; throws Error "cannot read NAME: reason", or, when it
  // holds more than maxBytes and that is refused, "NAME: larger than ...".
  Input(const std::string& path, std::uint64_t maxBytes, Larger larger);

  const Source& source() const { return *source_; }
  // The input as messages name it: its path (control bytes as \xNN), or
  // "standard input".
  const std::string& name() const { return name_; }

 private:
  std::string name_;
  std::vector<std::uint8_t> bytes_;  // what a stream held
  std::unique_ptr<Source> source_;
};

// The largest bank file that means anything: a block may start at any
// 32-bit offset and be up to 4 GiB long.
inline constexpr std::uint64_t kMaxBankFileBytes = 2 * std::uint64_t{0xFFFFFFFF};

// An input of a command, and what it is to the command ("the song").
struct NamedInput {
  std::string_view role;
  std::string path;
};

// Refuses, with a UsageError for the command, two inputs that are one
// stream (a pipe, a FIFO, a terminal; "-" is standard input): the first to
// read it would leave nothing for the other.
void refuseOneStreamTwice(const CommandSpec& spec, std::span<const NamedInput> inputs);

enum class SongKinds { Either, TextOnly };

// A song from a .zvo file or from a song text, told apart by content
// (formats/song_input.hpp); with TextOnly, a song file is refused. A text's
// warnings go to warnings when it is given. Throws Error "NAME: message";
// a bank given as a song is said to be one.
Song loadSongInput(const std::string& path, std::vector<SongTextWarning>* warnings = nullptr,
                   SongKinds kinds = SongKinds::Either);

// A bank file, exactly this one. Throws Error "NAME: message".
SampleBank loadBankInput(const std::string& path);

}  // namespace zorvik::tool
