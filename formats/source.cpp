#include "formats/source.hpp"

#include <algorithm>
#include <cstring>

namespace zorvik {

void Source::readZeroFilled(std::uint64_t offset, void* dst, std::size_t n) const {
  std::size_t got = readAt(offset, dst, n);
  // An empty read may come with a null dst (an empty vector's data()),
  // which memset must never see.
  if (got < n) std::memset(static_cast<std::uint8_t*>(dst) + got, 0, n - got);
}

std::size_t MemorySource::readAt(std::uint64_t offset, void* dst, std::size_t n) const {
  if (offset >= bytes_.size()) return 0;
  std::size_t count = std::min<std::uint64_t>(n, bytes_.size() - offset);
  if (count > 0) std::memcpy(dst, bytes_.data() + offset, count);
  return count;
}

FileSource::FileSource(FileSource&& other) noexcept : fd_(other.fd_), size_(other.size_) {
  other.fd_ = -1;
}

}  // namespace zorvik
