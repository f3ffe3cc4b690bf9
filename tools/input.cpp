#include "tools/input.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <utility>

#include "formats/bytes.hpp"
#include "formats/error.hpp"
#include "formats/song_input.hpp"
#include "formats/song_text.hpp"
#include "tools/messages.hpp"

namespace zorvik::tool {

namespace {

std::string sizeText(std::uint64_t bytes) {
  return bytes >= (1u << 20) ? std::to_string(bytes >> 20) + " MiB"
                             : std::to_string(bytes) + " bytes";
}

}  // namespace

Input::Input(const std::string& path, std::uint64_t maxBytes, Larger larger)
    : name_(path == "-" ? "standard input" : shownName(path)) {
  auto cannotRead = [&](int error) { return tool::cannotRead(name_, error); };
  auto tooLarge = [&] {
    return Error(name_ + ": larger than the " + sizeText(maxBytes) + " such an input can hold");
  };
  int fd = path == "-" ? STDIN_FILENO : ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) throw cannotRead(errno);
  struct Closer {
    int fd;
    ~Closer() {
      if (fd >= 0 && fd != STDIN_FILENO) ::close(fd);
    }
  } closer{fd};
  struct stat st {};
  if (::fstat(fd, &st) != 0) throw cannotRead(errno);
  if (S_ISDIR(st.st_mode)) throw cannotRead(EISDIR);

  if (S_ISREG(st.st_mode) && path != "-") {
    if (static_cast<std::uint64_t>(st.st_size) > maxBytes && larger == Larger::Refuse) {
      throw tooLarge();
    }
    source_ =
        std::make_unique<FileSource>(std::move(*FileSource::adopt(std::exchange(closer.fd, -1))));
    return;
  }

  // A stream: read up to the bound, and one byte more to know whether
  // there was more.
  std::uint64_t limit = maxBytes + 1;
  std::size_t chunk = 1 << 16;
  for (;;) {
    std::size_t want =
        static_cast<std::size_t>(std::min<std::uint64_t>(chunk, limit - bytes_.size()));
    if (want == 0) break;
    std::size_t at = bytes_.size();
    bytes_.resize(at + want);
    ssize_t n = ::read(fd, bytes_.data() + at, want);
    if (n < 0 && errno == EINTR) {
      bytes_.resize(at);
      continue;
    }
    if (n < 0) throw cannotRead(errno);
    bytes_.resize(at + static_cast<std::size_t>(n));
    if (n == 0) break;
    chunk = std::min<std::size_t>(chunk * 2, std::size_t{1} << 24);
  }
  if (bytes_.size() > maxBytes) {
    if (larger == Larger::Refuse) throw tooLarge();
    bytes_.resize(static_cast<std::size_t>(maxBytes));
  }
  source_ = std::make_unique<MemorySource>(bytes_);
}

void refuseOneStreamTwice(const CommandSpec& spec, std::span<const NamedInput> inputs) {
  // "-" is read as a stream whatever it is; a regular file by name is read
  // where it lies, as often as it is named.
  std::vector<std::pair<struct stat, const NamedInput*>> streams;
  for (const NamedInput& input : inputs) {
    struct stat st {};
    bool isStdin = input.path == "-";
    int got = isStdin ? ::fstat(STDIN_FILENO, &st) : ::stat(input.path.c_str(), &st);
    if (got != 0 || (!isStdin && (S_ISREG(st.st_mode) || S_ISDIR(st.st_mode)))) continue;
    for (const auto& [other, first] : streams) {
      bool sameStream = other.st_dev == st.st_dev && other.st_ino == st.st_ino &&
                        (!S_ISREG(st.st_mode) || (isStdin && first->path == "-"));
      if (!sameStream) continue;
      std::string stream = first->path == "-" ? "standard input" : shownName(first->path);
      throw UsageError(std::string(spec.name),
                       std::string(first->role) + " and " + std::string(input.role) +
                           " cannot both be read from " + stream +
                           ", which holds one file: give one of them as a file");
    }
    streams.emplace_back(st, &input);
  }
}

namespace {

bool namedAsSongFile(const std::string& path) {
  std::string lower = path;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower.ends_with(".zvo");
}

}  // namespace

Song loadSongInput(const std::string& path, std::vector<SongTextWarning>* warnings,
                   SongKinds kinds) {
  // A song file's bytes past its 680 are never read; a text past the bound
  // is refused before it is read (one byte more is kept to tell).
  Input input(path, kMaxSongTextBytes + 1, Input::Larger::Ignore);
  const Source& source = input.source();
  std::uint8_t head[4] = {};
  try {
    source.readZeroFilled(0, head, sizeof head);
  } catch (const ReadError& e) {
    throw cannotRead(input.name(), e.error());
  }
  if (readLe32(head) == kBankMagic) {
    throw Error(input.name() + ": a sample bank, not a song: 'zorvik bank list " +
                (path == "-" ? std::string("-") : input.name()) + "' shows what it holds");
  }
  if (kinds == SongKinds::TextOnly && isSongFile(source)) {
    throw Error(input.name() +
                ": a song file already, not a song text: 'zorvik song decompile' writes its text");
  }
  try {
    return readSongOrText(source, kinds == SongKinds::Either && namedAsSongFile(path), warnings);
  } catch (const ReadError& e) {
    throw cannotRead(input.name(), e.error());
  } catch (const Error& e) {
    throw Error(input.name() + ": " + e.what());
  }
}

SampleBank loadBankInput(const std::string& path) {
  Input input(path, kMaxBankFileBytes, Input::Larger::Ignore);
  try {
    return readSampleBank(input.source());
  } catch (const ReadError& e) {
    throw cannotRead(input.name(), e.error());
  } catch (const Error& e) {
    throw Error(input.name() + ": " + e.what());
  }
}

}  // namespace zorvik::tool
