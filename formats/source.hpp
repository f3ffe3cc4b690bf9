// Random-access byte sources for the loaders: a regular file on disk, or a
// buffer in memory (tests, fuzzers). Reads past the end deliver fewer bytes;
// the loaders treat the missing ones as zeros. A read that fails (EIO, say)
// throws ReadError: what could not be read is never taken for zeros.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace zorvik {

// Whether file names follow Windows' rules on this system: '\' separates
// folders as '/' does, and a name may start with a drive ("C:").
extern const bool kWindowsPaths;

class Source {
 public:
  virtual ~Source() = default;
  virtual std::uint64_t size() const = 0;
  // Copies up to n bytes from offset into dst and returns how many it copied:
  // fewer only at the end. Throws ReadError when the read fails.
  virtual std::size_t readAt(std::uint64_t offset, void* dst, std::size_t n) const = 0;

  // Like readAt, but fills whatever could not be read with zero bytes.
  void readZeroFilled(std::uint64_t offset, void* dst, std::size_t n) const;
};

class MemorySource final : public Source {
 public:
  explicit MemorySource(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  std::uint64_t size() const override { return bytes_.size(); }
  std::size_t readAt(std::uint64_t offset, void* dst, std::size_t n) const override;

 private:
  std::span<const std::uint8_t> bytes_;
};

// A regular file opened for reading. Opening fails (empty result) for a
// path that does not exist, cannot be read, or names anything but a regular
// file: a directory, a FIFO or a device never "opens", and never blocks.
class FileSource final : public Source {
 public:
  static std::optional<FileSource> open(const std::string& path);
  // Takes an open descriptor: kept when it is a regular file, else closed.
  static std::optional<FileSource> adopt(int fd);
  FileSource(FileSource&& other) noexcept;
  FileSource& operator=(FileSource&&) = delete;
  FileSource(const FileSource&) = delete;
  ~FileSource() override;

  std::uint64_t size() const override { return size_; }
  std::size_t readAt(std::uint64_t offset, void* dst, std::size_t n) const override;

 private:
  FileSource(int fd, std::uint64_t size) : fd_(fd), size_(size) {}
  int fd_;
  std::uint64_t size_;
};

}  // namespace zorvik
