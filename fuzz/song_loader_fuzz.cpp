// readSong on any bytes: it either throws LoadError or returns a song that
// the file writer turns back into the same song.

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "formats/error.hpp"
#include "formats/song.hpp"
#include "fuzz/fuzz_check.hpp"

using namespace zorvik;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Song song;
  try {
    song = readSong(MemorySource({data, size}));
  } catch (const LoadError&) {
    return 0;
  }

  // Whatever version it came from, a loaded song survives a version-2 file.
  auto bytes = songFileBytes(song);
  Song again = readSong(MemorySource(bytes));
  FUZZ_CHECK(std::memcmp(&song, &again, sizeof song) == 0);

  // A version-2 file's body is the song, byte for byte, zeros past its end.
  std::uint8_t version[2] = {};
  std::memcpy(version, data + 4,
              std::min<std::size_t>(size - 4, 2));  // the magic matched: size >= 4
  if (version[0] == 2 && version[1] == 0) {
    std::uint8_t body[sizeof(Song)] = {};
    if (size > kSongHeadSize) {
      std::memcpy(body, data + kSongHeadSize, std::min(size - kSongHeadSize, sizeof body));
    }
    FUZZ_CHECK(std::memcmp(&song, body, sizeof body) == 0);
  }
  return 0;
}
