// Windows: wide-character system calls, with every path converted from and
// to UTF-8 here, and the system's error codes turned into errno values.
// windows.h first: shellapi.h needs its types.
#include <windows.h>
//
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "platform/os.hpp"

namespace zorvik::os {

const bool kWindowsPaths = true;
const char kSeparator = '\\';
const char kListSeparator = ';';
const char* const kNullDevice = "NUL";

namespace {

std::wstring wide(std::string_view utf8) {
  if (utf8.empty()) return {};
  int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
  return out;
}

std::string narrow(std::wstring_view utf16) {
  if (utf16.empty()) return {};
  int n = ::WideCharToMultiByte(CP_UTF8, 0, utf16.data(), static_cast<int>(utf16.size()), nullptr,
                                0, nullptr, nullptr);
  std::string out(static_cast<std::size_t>(n), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, utf16.data(), static_cast<int>(utf16.size()), out.data(), n,
                        nullptr, nullptr);
  return out;
}

// errno for the last failed system call.
void setErrnoFromSystem() {
  switch (::GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
      errno = ENOENT;
      break;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
      errno = EACCES;
      break;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      errno = EEXIST;
      break;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      errno = ENOSPC;
      break;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_DIRECTORY:
      errno = EINVAL;
      break;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
      errno = ENOMEM;
      break;
    default:
      errno = EIO;
  }
}

HANDLE handleOf(int fd) { return reinterpret_cast<HANDLE>(::_get_osfhandle(fd)); }

std::int64_t nanosecondsSince1970(const FILETIME& time) {
  // FILETIME counts 100 ns from 1601.
  constexpr std::int64_t k1601To1970 = 116444736000000000;
  std::int64_t ticks = (static_cast<std::int64_t>(time.dwHighDateTime) << 32) |
                       static_cast<std::int64_t>(time.dwLowDateTime);
  return (ticks - k1601To1970) * 100;
}

std::optional<FileStatus> statusOfHandle(HANDLE handle) {
  if (handle == INVALID_HANDLE_VALUE) {
    errno = EBADF;
    return std::nullopt;
  }
  FileStatus status;
  switch (::GetFileType(handle)) {
    case FILE_TYPE_CHAR:
      status.kind = FileKind::CharDevice;
      return status;
    case FILE_TYPE_PIPE:
      status.kind = FileKind::Fifo;
      return status;
    case FILE_TYPE_DISK:
      break;
    default:
      status.kind = FileKind::Other;
      return status;
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(handle, &info)) {
    setErrnoFromSystem();
    return std::nullopt;
  }
  status.kind =
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? FileKind::Directory : FileKind::Regular;
  status.size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  status.modifiedNs = nanosecondsSince1970(info.ftLastWriteTime);
  status.device = info.dwVolumeSerialNumber;
  status.id = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  return status;
}

}  // namespace

std::vector<std::string> arguments(int argc, char** argv) {
  int count = 0;
  LPWSTR* wideArgs = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (wideArgs == nullptr || count != argc) {
    if (wideArgs != nullptr) ::LocalFree(wideArgs);
    return {argv, argv + argc};
  }
  std::vector<std::string> out;
  for (int i = 0; i < count; ++i) out.push_back(narrow(wideArgs[i]));
  ::LocalFree(wideArgs);
  return out;
}

std::string executablePath(const char* argv0) {
  std::wstring buffer(32768, L'\0');
  DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
  if (n == 0 || n >= buffer.size()) return argv0 != nullptr ? argv0 : "";
  buffer.resize(n);
  return narrow(buffer);
}

std::string currentFolder() {
  DWORD n = ::GetCurrentDirectoryW(0, nullptr);
  if (n == 0) return {};
  std::wstring buffer(n, L'\0');
  DWORD got = ::GetCurrentDirectoryW(n, buffer.data());
  if (got == 0 || got >= n) return {};
  buffer.resize(got);
  return narrow(buffer);
}

bool isTerminal(int fd) {
  DWORD mode = 0;
  return ::GetConsoleMode(handleOf(fd), &mode) != 0;
}

std::size_t folderLength(std::string_view path) {
  auto slash = path.find_last_of("/\\");
  if (slash != std::string_view::npos) return slash + 1;
  return path.size() >= 2 && path[1] == ':' ? 2 : 0;
}

bool isAbsolute(std::string_view path) {
  if (!path.empty() && (path.front() == '/' || path.front() == '\\')) return true;
  return path.size() >= 2 && path[1] == ':' &&
         ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
}

std::optional<FileStatus> statusOf(int fd) { return statusOfHandle(handleOf(fd)); }

std::optional<FileStatus> statusOf(const std::string& path) {
  // No access asked for: only the status. Folders open only with backup
  // semantics.
  HANDLE handle =
      ::CreateFileW(wide(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    setErrnoFromSystem();
    return std::nullopt;
  }
  auto status = statusOfHandle(handle);
  ::CloseHandle(handle);
  return status;
}

bool mayWrite(const std::string& path, const FileStatus&) {
  DWORD attributes = ::GetFileAttributesW(wide(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) == 0;
}

int openForReading(const std::string& path, bool) {
  return ::_wopen(wide(path).c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
}

int openForWriting(const std::string& path) {
  return ::_wopen(wide(path).c_str(), _O_WRONLY | _O_BINARY | _O_NOINHERIT);
}

namespace {

// ReadFile or WriteFile at an offset. Either moves the position of a file
// opened for ordinary reads and writes: it is put back, as pread and pwrite
// leave it.
template <typename Transfer>
long long transferAt(int fd, std::size_t n, std::uint64_t offset, Transfer transfer) {
  HANDLE handle = handleOf(fd);
  if (handle == INVALID_HANDLE_VALUE) {
    errno = EBADF;
    return -1;
  }
  LARGE_INTEGER zero{}, position{};
  bool restore = ::SetFilePointerEx(handle, zero, &position, FILE_CURRENT) != 0;
  OVERLAPPED at{};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(offset >> 32);
  DWORD done = 0;
  DWORD want = static_cast<DWORD>(std::min<std::size_t>(n, 1u << 30));
  BOOL ok = transfer(handle, want, &done, &at);
  DWORD error = ok ? 0 : ::GetLastError();
  if (restore) ::SetFilePointerEx(handle, position, nullptr, FILE_BEGIN);
  if (ok) return done;
  if (error == ERROR_HANDLE_EOF) return 0;
  ::SetLastError(error);
  setErrnoFromSystem();
  return -1;
}

}  // namespace

long long readAt(int fd, void* dst, std::size_t n, std::uint64_t offset) {
  return transferAt(fd, n, offset, [dst](HANDLE h, DWORD want, DWORD* done, OVERLAPPED* at) {
    return ::ReadFile(h, dst, want, done, at);
  });
}

long long writeAt(int fd, const void* src, std::size_t n, std::uint64_t offset) {
  return transferAt(fd, n, offset, [src](HANDLE h, DWORD want, DWORD* done, OVERLAPPED* at) {
    return ::WriteFile(h, src, want, done, at);
  });
}

void useBinary(int fd) { ::_setmode(fd, _O_BINARY); }

int createUnique(std::string& prefix) {
  std::uint64_t seed =
      (static_cast<std::uint64_t>(::GetCurrentProcessId()) << 32) ^ ::GetTickCount64();
  static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string path = prefix;
    std::uint64_t x = seed + static_cast<std::uint64_t>(attempt) * 0x9E3779B97F4A7C15u;
    for (int i = 0; i < 6; ++i) {
      path += kLetters[x % 36];
      x /= 36;
    }
    int fd = ::_wopen(wide(path).c_str(), _O_CREAT | _O_EXCL | _O_RDWR | _O_BINARY | _O_NOINHERIT,
                      _S_IREAD | _S_IWRITE);
    if (fd >= 0) {
      prefix = path;
      return fd;
    }
    if (errno != EEXIST) return -1;
  }
  return -1;
}

void takeModeOf(int, const std::optional<FileStatus>&) {}

bool replaceFile(const std::string& from, const std::string& to) {
  if (::MoveFileExW(wide(from).c_str(), wide(to).c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
  setErrnoFromSystem();
  return false;
}

bool removeFile(const char* path) { return ::_wunlink(wide(path).c_str()) == 0; }

std::optional<std::string> linkTarget(const std::string&) {
  errno = 0;
  return std::nullopt;
}

void setEnvironment(const char* name, const char* value) { ::_putenv_s(name, value); }

struct BlockedSignals::Saved {};
BlockedSignals::BlockedSignals() = default;
BlockedSignals::~BlockedSignals() = default;

}  // namespace zorvik::os
