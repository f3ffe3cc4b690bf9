#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "platform/os.hpp"

namespace zorvik::os {

const bool kWindowsPaths = false;
const char kSeparator = '/';
const char kListSeparator = ':';
const char* const kNullDevice = "/dev/null";

std::vector<std::string> arguments(int argc, char** argv) { return {argv, argv + argc}; }

std::string executablePath(const char* argv0) {
  char buffer[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n > 0) return std::string(buffer, static_cast<std::size_t>(n));
  if (argv0 == nullptr) return {};
  if (char* real = ::realpath(argv0, nullptr)) {
    std::string path = real;
    std::free(real);
    return path;
  }
  return argv0;
}

std::string currentFolder() {
  char cwd[PATH_MAX];
  return ::getcwd(cwd, sizeof cwd) != nullptr ? std::string(cwd) : std::string();
}

bool isTerminal(int fd) { return ::isatty(fd) != 0; }

std::size_t folderLength(std::string_view path) {
  auto slash = path.rfind('/');
  return slash == std::string_view::npos ? 0 : slash + 1;
}

bool isAbsolute(std::string_view path) { return !path.empty() && path.front() == '/'; }

namespace {

FileStatus statusFrom(const struct stat& st) {
  FileStatus status;
  status.kind = S_ISREG(st.st_mode)    ? FileKind::Regular
                : S_ISDIR(st.st_mode)  ? FileKind::Directory
                : S_ISFIFO(st.st_mode) ? FileKind::Fifo
                : S_ISCHR(st.st_mode)  ? FileKind::CharDevice
                                       : FileKind::Other;
  status.size = static_cast<std::uint64_t>(st.st_size);
  status.modifiedNs =
      static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
  status.device = static_cast<std::uint64_t>(st.st_dev);
  status.id = static_cast<std::uint64_t>(st.st_ino);
  status.mode = st.st_mode & 07777;
  status.owner = st.st_uid;
  status.group = st.st_gid;
  return status;
}

mode_t currentUmask() {
  mode_t mask = ::umask(0);
  ::umask(mask);
  return mask;
}

}  // namespace

std::optional<FileStatus> statusOf(int fd) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return std::nullopt;
  return statusFrom(st);
}

std::optional<FileStatus> statusOf(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  return statusFrom(st);
}

bool mayWrite(const std::string& path, const FileStatus& status) {
  return (status.mode & 0222) != 0 && ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
}

int openForReading(const std::string& path, bool nonBlocking) {
  return ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | (nonBlocking ? O_NONBLOCK : 0));
}

int openForWriting(const std::string& path) {
  return ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
}

long long readAt(int fd, void* dst, std::size_t n, std::uint64_t offset) {
  return ::pread(fd, dst, n, static_cast<off_t>(offset));
}

long long writeAt(int fd, const void* src, std::size_t n, std::uint64_t offset) {
  return ::pwrite(fd, src, n, static_cast<off_t>(offset));
}

void useBinary(int) {}

int createUnique(std::string& prefix) {
  prefix += "XXXXXX";
  return ::mkostemp(prefix.data(), O_CLOEXEC);
}

void takeModeOf(int fd, const std::optional<FileStatus>& replaced) {
  if (replaced) {
    if (::geteuid() == 0) (void)!::fchown(fd, replaced->owner, replaced->group);
    ::fchmod(fd, replaced->mode);
  } else {
    ::fchmod(fd, 0666 & ~currentUmask());
  }
}

bool replaceFile(const std::string& from, const std::string& to) {
  return std::rename(from.c_str(), to.c_str()) == 0;
}

bool removeFile(const char* path) { return ::unlink(path) == 0; }

std::optional<std::string> linkTarget(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
    errno = 0;
    return std::nullopt;
  }
  std::string target(PATH_MAX, '\0');
  ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
  if (n < 0) return std::nullopt;
  target.resize(static_cast<std::size_t>(n));
  return target;
}

void setEnvironment(const char* name, const char* value) { ::setenv(name, value, 1); }

struct BlockedSignals::Saved {
  sigset_t mask;
};

BlockedSignals::BlockedSignals() : saved_(std::make_unique<Saved>()) {
  sigset_t all;
  sigfillset(&all);
  ::pthread_sigmask(SIG_BLOCK, &all, &saved_->mask);
}

BlockedSignals::~BlockedSignals() { ::pthread_sigmask(SIG_SETMASK, &saved_->mask, nullptr); }

}  // namespace zorvik::os
