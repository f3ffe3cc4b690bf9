#include "tools/output_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace zorvik::tool {

namespace {

bool writeAll(int fd, const std::uint8_t* data, std::size_t n) {
  while (n > 0) {
    ssize_t w = ::write(fd, data, n);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return false;
    data += w;
    n -= static_cast<std::size_t>(w);
  }
  return true;
}

std::string reason(const std::string& path) { return "cannot write " + path + ": " + std::strerror(errno); }

}  // namespace

std::string writeOutputFile(const std::string& path, std::span<const std::uint8_t> bytes) {
  if (path == "-") {
    return writeAll(STDOUT_FILENO, bytes.data(), bytes.size()) ? "" : reason("standard output");
  }
  std::string temporary = path + ".partial-XXXXXX";
  int fd = ::mkstemp(temporary.data());
  if (fd < 0) return reason(path);
  ::fchmod(fd, 0644);
  bool ok = writeAll(fd, bytes.data(), bytes.size()) && ::fsync(fd) == 0;
  std::string error = ok ? "" : reason(path);
  if (::close(fd) != 0 && ok) error = reason(path);
  if (error.empty() && std::rename(temporary.c_str(), path.c_str()) != 0) error = reason(path);
  if (!error.empty()) ::unlink(temporary.c_str());
  return error;
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
