// Writing a whole output file safely: to a temporary name beside it, renamed
// only once complete, so that a failure never leaves a half-written file.
// "-" means standard output.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace zorvik::tool {

// A file being written under a temporary name beside its final path (so
// that the rename stays on one file system). Unless committed, it is
// removed when destroyed.
class PendingFile {
 public:
  explicit PendingFile(const std::string& path);
  ~PendingFile();
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;

  // Empty when the temporary file was made, else a one-line reason.
  const std::string& error() const { return error_; }
  int fd() const { return fd_; }
  // Flushes the file to disk and gives it its final name; returns an empty
  // string on success, else a one-line reason (and the file is removed).
  std::string commit();

 private:
  std::string path_;
  std::string temporary_;
  std::string error_;
  int fd_ = -1;
};

// Writes all bytes to fd, retrying short writes; false on an error.
bool writeAll(int fd, std::span<const std::uint8_t> bytes);

// Returns an empty string on success, else a one-line reason.
std::string writeOutputFile(const std::string& path, std::span<const std::uint8_t> bytes);

// Reads a whole input file ("-" is standard input) into bytes; returns an
// empty string on success, else a one-line reason.
std::string readInputFile(const std::string& path, std::string& bytes);

}  // namespace zorvik::tool
