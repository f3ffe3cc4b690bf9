// FileSource on POSIX systems.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <limits>

#include "formats/error.hpp"
#include "formats/source.hpp"

namespace zorvik {

const bool kWindowsPaths = false;

std::optional<FileSource> FileSource::open(const std::string& path) {
  // O_NONBLOCK keeps a FIFO from blocking the open until a writer appears;
  // it has no effect on reads from a regular file, the only kind we keep.
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return std::nullopt;
  return adopt(fd);
}

std::optional<FileSource> FileSource::adopt(int fd) {
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return std::nullopt;
  }
  return FileSource(fd, static_cast<std::uint64_t>(st.st_size));
}

FileSource::~FileSource() {
  if (fd_ >= 0) ::close(fd_);
}

std::size_t FileSource::readAt(std::uint64_t offset, void* dst, std::size_t n) const {
  // Past what a file offset can address there is nothing to read.
  constexpr auto kMaxOffset = static_cast<std::uint64_t>(std::numeric_limits<off_t>::max());
  if (offset >= kMaxOffset) return 0;
  n = static_cast<std::size_t>(std::min<std::uint64_t>(n, kMaxOffset - offset));
  std::size_t done = 0;
  auto* out = static_cast<std::uint8_t*>(dst);
  while (done < n) {
    ssize_t r = ::pread(fd_, out + done, n - done, static_cast<off_t>(offset + done));
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) throw ReadError(errno);
    if (r == 0) break;  // the end of the file: the rest reads as missing
    done += static_cast<std::size_t>(r);
  }
  return done;
}

}  // namespace zorvik
