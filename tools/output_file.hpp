// Where a command's output goes, written whole or not at all.
//
// A regular file, or one that does not exist yet, is written under a short
// temporary name in its folder and takes its own name only at commit(): a
// failure or a signal leaves the old file as it was and no temporary file
// behind. The replaced file keeps its mode (and, for root, its owner); a new
// one gets the mode that open(..., 0666) gives under the umask. A file that
// is read-only (no write bit, or not writable by this process) is refused,
// never replaced. A symbolic link is followed: its target is replaced and
// the link stays. A FIFO or a character device (a terminal, /dev/null) is
// written straight through, and so is standard output, named "-". Nothing
// else is written to.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "formats/error.hpp"
#include "tools/options.hpp"

namespace zorvik::tool {

class OutputFile {
 public:
  // Throws Error when the output cannot be opened.
  explicit OutputFile(const std::string& path);
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  int fd() const { return fd_; }
  // A regular file, which can be read back and seeked; the rest is a stream.
  bool seekable() const { return !temporary_.empty(); }
  // The output as messages name it: its path (control bytes as \xNN), or
  // "standard output".
  const std::string& name() const { return name_; }

  // Writes all the bytes; throws Error "cannot write NAME: reason".
  void write(std::span<const std::uint8_t> bytes);
  // Writes bytes at an offset of a seekable output, over what is there.
  void writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes);
  // Finishes the output: the temporary file takes its name. Throws Error.
  void commit();
  // Removes the temporary file now (commit() can then not be called).
  void discard();

  // "cannot write NAME: " and the reason errno holds.
  [[noreturn]] void fail() const;

 private:
  std::string name_;
  std::string target_;     // the path that gets the file, links followed
  std::string temporary_;  // empty when written straight through
  int slot_ = -1;          // in the temporary-file registry
  int fd_ = -1;
  bool ownsFd_ = false;
};

// Refuses, with a UsageError for the command, an output that would replace
// one of its inputs: an existing regular file with the device and inode of
// an input's (links followed; "-" stands for standard input).
void refuseInputAsOutput(const CommandSpec& spec, const std::string& output,
                         std::span<const std::string> inputs);

// Writes bytes to an output and commits it.
void writeOutputFile(const std::string& path, std::span<const std::uint8_t> bytes);

// Writes bytes to a file descriptor, retrying short writes; false on an
// error, with errno set.
bool writeAll(int fd, std::span<const std::uint8_t> bytes);

}  // namespace zorvik::tool
