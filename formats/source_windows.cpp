// FileSource on Windows: the name in UTF-8 opened through the wide-character
// call, whatever the code page; the bytes as they are (no newline
// translation); reads at an offset that leave the file's position alone.
#include <windows.h>
//
#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cerrno>

#include "formats/error.hpp"
#include "formats/source.hpp"

namespace zorvik {

const bool kWindowsPaths = true;

namespace {

std::wstring wide(const std::string& utf8) {
  if (utf8.empty()) return {};
  int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
  return out;
}

}  // namespace

std::optional<FileSource> FileSource::open(const std::string& path) {
  int fd = ::_wopen(wide(path).c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
  if (fd < 0) return std::nullopt;
  return adopt(fd);
}

std::optional<FileSource> FileSource::adopt(int fd) {
  auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
  BY_HANDLE_FILE_INFORMATION info{};
  if (handle == INVALID_HANDLE_VALUE || ::GetFileType(handle) != FILE_TYPE_DISK ||
      !::GetFileInformationByHandle(handle, &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    ::_close(fd);
    return std::nullopt;
  }
  return FileSource(fd, (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow);
}

FileSource::~FileSource() {
  if (fd_ >= 0) ::_close(fd_);
}

std::size_t FileSource::readAt(std::uint64_t offset, void* dst, std::size_t n) const {
  auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(fd_));
  std::size_t done = 0;
  auto* out = static_cast<std::uint8_t*>(dst);
  while (done < n) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset + done);
    at.OffsetHigh = static_cast<DWORD>((offset + done) >> 32);
    DWORD got = 0;
    DWORD want = static_cast<DWORD>(std::min<std::size_t>(n - done, 1u << 30));
    // The position this moves is never used: a FileSource only reads at
    // offsets.
    if (!::ReadFile(handle, out + done, want, &got, &at)) {
      if (::GetLastError() == ERROR_HANDLE_EOF) break;
      throw ReadError(EIO);  // what could not be read is never taken for zeros
    }
    if (got == 0) break;  // the end of the file: the rest reads as missing
    done += got;
  }
  return done;
}

}  // namespace zorvik
