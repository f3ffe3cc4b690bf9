#include "formats/song.hpp"

#include <cstring>

#include "formats/bytes.hpp"
#include "formats/error.hpp"

namespace zorvik {

Song upgradeSong(const SongV1& v1) {
  Song song{};
  song.title = v1.title;
  song.author = v1.author;
  song.bankName = makeTextField("default.zvi");
  song.cells = v1.cells;
  song.tempo = v1.tempo;
  return song;
}

Song readSong(const Source& source) {
  std::uint8_t head[kSongHeadSize];
  source.readZeroFilled(0, head, sizeof head);
  if (readLe32(head) != kSongMagic) throw LoadError("not a valid .zvo file");
  // Compression is tested before the version, whatever the version says.
  if (head[6] != 0) throw LoadError("no compression supported yet");

  // The records hold only byte-sized fields, so the body bytes are copied
  // straight in; a body cut short reads as zeros.
  switch (readLe16(head + 4)) {
    case 0:
      throw LoadError("not a valid version number");
    case 1: {
      std::uint8_t body[sizeof(SongV1)];
      source.readZeroFilled(kSongHeadSize, body, sizeof body);
      SongV1 v1;
      std::memcpy(&v1, body, sizeof v1);
      return upgradeSong(v1);
    }
    case 2: {
      std::uint8_t body[sizeof(Song)];
      source.readZeroFilled(kSongHeadSize, body, sizeof body);
      Song song;
      std::memcpy(&song, body, sizeof song);
      return song;
    }
    default:
      throw LoadError("too new version of the format, this version only suports fileformat v2 max");
  }
}

Song loadSong(const std::string& path) {
  auto file = FileSource::open(path);
  if (!file) throw LoadError("file not found");
  return readSong(*file);
}

std::array<std::uint8_t, kSongV2FileSize> songFileBytes(const Song& song) {
  std::array<std::uint8_t, kSongV2FileSize> bytes{};
  writeLe32(bytes.data(), kSongMagic);
  writeLe16(bytes.data() + 4, 2);
  bytes[6] = 0;
  std::memcpy(bytes.data() + kSongHeadSize, &song, sizeof song);
  return bytes;
}

}  // namespace zorvik
