#include "tools/output_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace zorvik::tool {

namespace {

std::string reason(const std::string& path) {
  return "cannot write " + path + ": " + std::strerror(errno);
}

}  // namespace

bool writeAll(int fd, std::span<const std::uint8_t> bytes) {
  const std::uint8_t* data = bytes.data();
  std::size_t n = bytes.size();
  while (n > 0) {
    ssize_t w = ::write(fd, data, n);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return false;
    data += w;
    n -= static_cast<std::size_t>(w);
  }
  return true;
}

PendingFile::PendingFile(const std::string& path)
    : path_(path), temporary_(path + ".partial-XXXXXX") {
  fd_ = ::mkstemp(temporary_.data());
  if (fd_ < 0) {
    error_ = reason(path);
    temporary_.clear();
    return;
  }
  ::fchmod(fd_, 0644);  // mkstemp makes it private; outputs are ordinary files
}

PendingFile::~PendingFile() {
  if (fd_ >= 0) ::close(fd_);
  if (!temporary_.empty()) ::unlink(temporary_.c_str());
}

std::string PendingFile::commit() {
  std::string error;
  if (::fsync(fd_) != 0) error = reason(path_);
  if (::close(fd_) != 0 && error.empty()) error = reason(path_);
  fd_ = -1;
  if (error.empty() && std::rename(temporary_.c_str(), path_.c_str()) != 0) error = reason(path_);
  if (error.empty()) temporary_.clear();  // renamed: nothing left to remove
  return error;
}

std::string writeOutputFile(const std::string& path, std::span<const std::uint8_t> bytes) {
  if (path == "-") return writeAll(STDOUT_FILENO, bytes) ? "" : reason("standard output");
  PendingFile file(path);
  if (!file.error().empty()) return file.error();
  if (!writeAll(file.fd(), bytes)) return reason(path);
  return file.commit();
}

std::string readInputFile(const std::string& path, std::string& bytes) {
  int fd = path == "-" ? STDIN_FILENO : ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return "cannot read " + path + ": " + std::strerror(errno);
  struct stat st {};
  if (fd != STDIN_FILENO && (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))) {
    ::close(fd);
    return "cannot read " + path + ": not a regular file";
  }
  bytes.clear();
  char buffer[65536];
  for (;;) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      std::string error = "cannot read " + path + ": " + std::strerror(errno);
      if (fd != STDIN_FILENO) ::close(fd);
      return error;
    }
    if (n == 0) break;
    bytes.append(buffer, static_cast<std::size_t>(n));
  }
  if (fd != STDIN_FILENO) ::close(fd);
  return "";
}

}  // namespace zorvik::tool
