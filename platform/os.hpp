// The few calls into the operating system that differ between POSIX and
// Windows: opening and inspecting files, reading at an offset, replacing a
// file whole, file names in UTF-8, the program's own path. os_posix.cpp and
// os_windows.cpp implement them; the build picks one. No state is kept.
//
// Paths are UTF-8 everywhere; on Windows they reach the system as UTF-16,
// whatever the console's code page. Errors are reported through errno, as
// the C library does, so that std::strerror gives the reason.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zorvik::os {

// Whether paths follow Windows' rules: '\' separates like '/', and a name
// may start with a drive ("C:") or a share ("\\server").
extern const bool kWindowsPaths;

// The separator the system shows in paths ("/" or "\").
extern const char kSeparator;

// The separator of folder lists in environment variables (':' or ';').
extern const char kListSeparator;

// The null device, for writing away what is not wanted.
extern const char* const kNullDevice;

// The command line as UTF-8 strings (on Windows read again as UTF-16, since
// main's argv comes in the console's code page).
std::vector<std::string> arguments(int argc, char** argv);

// The running program's own path, links resolved. Where the system does
// not tell, argv0 made absolute, or argv0 itself.
std::string executablePath(const char* argv0);

// The current folder, or "" when it cannot be told.
std::string currentFolder();

// Whether a descriptor is a terminal (on Windows a console, not NUL).
bool isTerminal(int fd);

// Whether a character separates folders in a path here.
inline bool isSeparator(char c) { return c == '/' || (kWindowsPaths && c == '\\'); }

// The position just past the last separator of a path (0 when none); on
// Windows a drive's "C:" counts as a folder too.
std::size_t folderLength(std::string_view path);

// Whether a path names its file from the root rather than from the current
// folder ("/x"; on Windows also "\x", "C:x" and "C:\x").
bool isAbsolute(std::string_view path);

enum class FileKind { Regular, Directory, Fifo, CharDevice, Other };

struct FileStatus {
  FileKind kind = FileKind::Other;
  std::uint64_t size = 0;
  std::int64_t modifiedNs = 0;  // last modification, nanoseconds since 1970
  // Same device and same id: the same file.
  std::uint64_t device = 0;
  std::uint64_t id = 0;
  // POSIX permissions and owner (0 on Windows).
  std::uint32_t mode = 0;
  std::uint32_t owner = 0;
  std::uint32_t group = 0;
};

// The status of an open file or of a path (links followed); empty with
// errno set when it cannot be had.
std::optional<FileStatus> statusOf(int fd);
std::optional<FileStatus> statusOf(const std::string& path);

// Whether this process may write a file it found with statusOf: POSIX's
// write permission (and a write bit at all, which root lacks only when no
// one has it); on Windows, not read-only.
bool mayWrite(const std::string& path, const FileStatus& status);

// Opens a file to read its bytes as they are (no newline translation),
// without letting child processes inherit it. With nonBlocking a FIFO is
// opened without waiting for a writer. Returns the descriptor, or -1 with
// errno set.
int openForReading(const std::string& path, bool nonBlocking = false);

// Opens an existing file (a FIFO, a device) for writing straight through.
int openForWriting(const std::string& path);

// Reads up to n bytes at offset, leaving the descriptor's position alone:
// the count read (0 at the end), or -1 with errno set.
long long readAt(int fd, void* dst, std::size_t n, std::uint64_t offset);

// Writes up to n bytes at offset, leaving the position alone: the count
// written, or -1 with errno set.
long long writeAt(int fd, const void* src, std::size_t n, std::uint64_t offset);

// Sets a descriptor (standard input or output) to pass bytes unchanged.
void useBinary(int fd);

// Creates a new file with a unique name starting with `prefix` (a folder
// and the start of a name), open for writing; `prefix` becomes its path.
// Returns the descriptor or -1 with errno set.
int createUnique(std::string& prefix);

// Gives a file just created to replace another the mode (and, for root, the
// owner) of that one; without one, the mode a new file gets by default.
void takeModeOf(int fd, const std::optional<FileStatus>& replaced);

// Renames `from` to `to`, replacing a file already there in one step.
bool replaceFile(const std::string& from, const std::string& to);

// Removes a file; async-signal-safe on POSIX.
bool removeFile(const char* path);

// Where a symbolic link leads: its target as written, or empty (errno set)
// when the path is no link. Windows' links are left to the system.
std::optional<std::string> linkTarget(const std::string& path);

// Sets an environment variable for this process and the libraries in it.
void setEnvironment(const char* name, const char* value);

// Holds every signal back from the calling thread while it lives; threads
// started meanwhile begin with them held back too. POSIX only: Windows has
// no signals to hold (its console events come on a thread of their own).
class BlockedSignals {
 public:
  BlockedSignals();
  ~BlockedSignals();
  BlockedSignals(const BlockedSignals&) = delete;
  BlockedSignals& operator=(const BlockedSignals&) = delete;

 private:
  struct Saved;  // the mask to put back
  std::unique_ptr<Saved> saved_;
};

}  // namespace zorvik::os
