#include "tools/output_file.hpp"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/os.hpp"
#include "tools/messages.hpp"
#include "tools/temporary_files.hpp"

namespace zorvik::tool {

namespace {

// A path's folder, ending in a separator: "" for the current folder.
std::string folderOf(const std::string& path) { return path.substr(0, os::folderLength(path)); }

// The path a chain of symbolic links leads to (the path itself when it is
// none). The end of the chain need not exist. Throws Error on a loop.
std::string followLinks(const std::string& path, const std::string& name) {
  std::string at = path;
  for (int hops = 0; hops < 40; ++hops) {
    auto target = os::linkTarget(at);
    if (!target && errno != 0) throw cannotWrite(name, errno);
    if (!target) return at;
    if (!os::isAbsolute(*target)) target->insert(0, folderOf(at));
    at = *target;
  }
  throw cannotWrite(name, ELOOP);
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
    os::useBinary(fd_);
    return;
  }
  target_ = followLinks(path, name_);
  auto existing = os::statusOf(target_);
  using os::FileKind;
  if (existing && (existing->kind == FileKind::Fifo || existing->kind == FileKind::CharDevice)) {
    fd_ = os::openForWriting(target_);
    if (fd_ < 0) fail();
    ownsFd_ = true;
    return;
  }
  if (existing && existing->kind == FileKind::Directory) {
    throw cannotWrite(name_, EISDIR);
  }
  if (existing && existing->kind != FileKind::Regular) {
    throw cannotWrite(name_, "not a regular file, a FIFO or a character device");
  }
  // A file is replaced by renaming over it, which its own mode does not
  // stop: one that could not be written to, or that has no write bit at
  // all (which even root's cp would have to be told to override), is left
  // alone, as cp and the shell leave it.
  if (existing && !os::mayWrite(target_, *existing)) {
    throw cannotWrite(name_, std::string(std::strerror(EACCES)) +
                                 " (it is read-only: make it writable with chmod u+w to "
                                 "replace it, or name another output)");
  }

  // The temporary name is short, so that it fits wherever the output's own
  // name does. Signals wait until it is registered for removal.
  temporary_ = folderOf(target_) + ".zorvik-";
  int savedErrno = 0;
  {
    os::BlockedSignals held;
    fd_ = os::createUnique(temporary_);
    savedErrno = errno;
    if (fd_ >= 0) slot_ = registerTemporaryFile(temporary_.c_str());
  }
  if (fd_ < 0) {
    temporary_.clear();
    errno = savedErrno;
    fail();
  }
  ownsFd_ = true;
  os::takeModeOf(fd_, existing);
}

OutputFile::~OutputFile() { discard(); }

void OutputFile::discard() {
  if (ownsFd_ && fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temporary_.empty()) os::removeFile(temporary_.c_str());
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
    long long n = os::writeAt(fd_, bytes.data() + done, bytes.size() - done, offset + done);
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
  if (!os::replaceFile(temporary_, target_)) fail();
  temporary_.clear();
  unregisterTemporaryFile(slot_);
  slot_ = -1;
}

void refuseInputAsOutput(const CommandSpec& spec, const std::string& output,
                         std::span<const std::string> inputs) {
  if (output == "-") return;
  auto out = os::statusOf(output);
  if (!out || out->kind != os::FileKind::Regular) return;
  for (const std::string& input : inputs) {
    auto in = input == "-" ? os::statusOf(STDIN_FILENO) : os::statusOf(input);
    if (in && in->device == out->device && in->id == out->id) {
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
