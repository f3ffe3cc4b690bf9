#include "tools/input.hpp"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <utility>

#include "formats/bytes.hpp"
#include "formats/error.hpp"
#include "formats/song_input.hpp"
#include "formats/song_text.hpp"
#include "platform/os.hpp"
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
  int fd = path == "-" ? STDIN_FILENO : os::openForReading(path);
  if (fd < 0) throw cannotRead(errno);
  if (fd == STDIN_FILENO) os::useBinary(fd);
  struct Closer {
    int fd;
    ~Closer() {
      if (fd >= 0 && fd != STDIN_FILENO) ::close(fd);
    }
  } closer{fd};
  auto status = os::statusOf(fd);
  if (!status) throw cannotRead(errno);
  if (status->kind == os::FileKind::Directory) throw cannotRead(EISDIR);

  if (status->kind == os::FileKind::Regular && path != "-") {
    if (status->size > maxBytes && larger == Larger::Refuse) {
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
  std::vector<std::pair<os::FileStatus, const NamedInput*>> streams;
  for (const NamedInput& input : inputs) {
    bool isStdin = input.path == "-";
    auto got = isStdin ? os::statusOf(STDIN_FILENO) : os::statusOf(input.path);
    if (!got) continue;
    const os::FileStatus& st = *got;
    const bool regular = st.kind == os::FileKind::Regular;
    if (!isStdin && (regular || st.kind == os::FileKind::Directory)) continue;
    for (const auto& [other, first] : streams) {
      bool sameStream = other.device == st.device && other.id == st.id &&
                        (!regular || (isStdin && first->path == "-"));
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
