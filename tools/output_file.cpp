#include "tools/output_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>

#include "tools/messages.hpp"
#include "tools/temporary_files.hpp"

namespace zorvik::tool {

namespace {

std::string folderOf(const std::string& path) {
  auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// The path a chain of symbolic links leads to (the path itself when it is
// none). The end of the chain need not exist. Throws Error on a loop.
std::string followLinks(const std::string& path, const std::string& name) {
  std::string at = path;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st {};
    if (::lstat(at.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return at;
    std::string target(PATH_MAX, '\0');
    ssize_t n = ::readlink(at.c_str(), target.data(), target.size());
    if (n < 0) throw cannotWrite(name, errno);
    target.resize(static_cast<std::size_t>(n));
    if (!target.starts_with("/")) target.insert(0, folderOf(at) + "/");
    at = target;
  }
  throw cannotWrite(name, ELOOP);
}

mode_t currentUmask() {
  mode_t mask = ::umask(0);
  ::umask(mask);
  return mask;
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

OutputFile::OutputFile(const std::string& path)
    : name_(path == "-" ? "standard output" : shownName(path)) {
  if (path == "-") {
    fd_ = STDOUT_FILENO;
    return;
  }
  target_ = followLinks(path, name_);
  struct stat st {};
  bool exists = ::stat(target_.c_str(), &st) == 0;
  if (exists && (S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode))) {
    fd_ = ::open(target_.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
    if (fd_ < 0) fail();
    ownsFd_ = true;
    return;
  }
  if (exists && S_ISDIR(st.st_mode)) {
    throw cannotWrite(name_, EISDIR);
  }
  if (exists && !S_ISREG(st.st_mode)) {
    throw cannotWrite(name_, "not a regular file, a FIFO or a character device");
  }
  // A file is replaced by renaming over it, which its own mode does not
  // stop: one that could not be written to, or that has no write bit at
  // all (which even root's cp would have to be told to override), is left
  // alone, as cp and the shell leave it.
  if (exists &&
      ((st.st_mode & 0222) == 0 || ::faccessat(AT_FDCWD, target_.c_str(), W_OK, AT_EACCESS) != 0)) {
    throw cannotWrite(name_, std::string(std::strerror(EACCES)) +
                                 " (it is read-only: make it writable with chmod u+w to "
                                 "replace it, or name another output)");
  }

  // The temporary name is short, so that it fits wherever the output's own
  // name does. Signals wait until it is registered for removal.
  temporary_ = folderOf(target_) + "/.zorvik-XXXXXX";
  sigset_t all, old;
  sigfillset(&all);
  ::sigprocmask(SIG_BLOCK, &all, &old);
  fd_ = ::mkostemp(temporary_.data(), O_CLOEXEC);
  int savedErrno = errno;
  if (fd_ >= 0) slot_ = registerTemporaryFile(temporary_.c_str());
  ::sigprocmask(SIG_SETMASK, &old, nullptr);
  if (fd_ < 0) {
    temporary_.clear();
    errno = savedErrno;
    fail();
  }
  ownsFd_ = true;
  if (exists) {
    if (::geteuid() == 0) (void)!::fchown(fd_, st.st_uid, st.st_gid);
    ::fchmod(fd_, st.st_mode & 07777);
  } else {
    ::fchmod(fd_, 0666 & ~currentUmask());
  }
}

OutputFile::~OutputFile() { discard(); }

void OutputFile::discard() {
  if (ownsFd_ && fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temporary_.empty()) ::unlink(temporary_.c_str());
  temporary_.clear();
  unregisterTemporaryFile(slot_);
  slot_ = -1;
}

void OutputFile::fail() const { throw cannotWrite(name_, errno); }

void OutputFile::write(std::span<const std::uint8_t> bytes) {
  if (!writeAll(fd_, bytes)) fail();
}

void OutputFile::writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) {
  for (std::size_t done = 0; done < bytes.size();) {
    ssize_t n =
        ::pwrite(fd_, bytes.data() + done, bytes.size() - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) fail();
    done += static_cast<std::size_t>(n);
  }
}

void OutputFile::commit() {
  if (temporary_.empty()) {
    if (ownsFd_ && ::close(fd_) != 0) fail();
    fd_ = -1;
    return;
  }
  // Renamed whole, so no reader ever sees part of it; flushing it to disk
  // is left to the system, as cp and the shell's redirections do.
  int closed = ::close(fd_);
  fd_ = -1;
  if (closed != 0) fail();
  if (std::rename(temporary_.c_str(), target_.c_str()) != 0) fail();
  temporary_.clear();
  unregisterTemporaryFile(slot_);
  slot_ = -1;
}

void refuseInputAsOutput(const CommandSpec& spec, const std::string& output,
                         std::span<const std::string> inputs) {
  struct stat out {};
  if (output == "-" || ::stat(output.c_str(), &out) != 0 || !S_ISREG(out.st_mode)) return;
  for (const std::string& input : inputs) {
    struct stat in {};
    int got = input == "-" ? ::fstat(STDIN_FILENO, &in) : ::stat(input.c_str(), &in);
    if (got == 0 && in.st_dev == out.st_dev && in.st_ino == out.st_ino) {
      std::string message = "the output " + shownName(output) + " is also an input (" +
                            shownName(input) + "); it would be overwritten: name another output";
      throw UsageError(std::string(spec.name), message);
    }
  }
}

void writeOutputFile(const std::string& path, std::span<const std::uint8_t> bytes) {
  OutputFile file(path);
  file.write(bytes);
  file.commit();
}

}  // namespace zorvik::tool
