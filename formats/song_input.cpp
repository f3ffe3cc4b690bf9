#include "formats/song_input.hpp"

#include <string>

#include "formats/bytes.hpp"
#include "formats/error.hpp"

namespace zorvik {

bool isSongFile(const Source& source) {
  std::uint8_t head[4] = {};
  source.readZeroFilled(0, head, sizeof head);
  return readLe32(head) == kSongMagic;
}

Song readSongOrText(const Source& source, bool namedAsSongFile,
                    std::vector<SongTextWarning>* textWarnings) {
  if (isSongFile(source)) return readSong(source);
  // Nothing at all is no song of either kind; the song file's loader says so.
  if (source.size() == 0) return readSong(source);
  if (source.size() > kMaxSongTextBytes) {
    throw LoadError(namedAsSongFile ? "not a valid .zvo file"
                                    : "larger than the 1 MiB a song text can hold, and not a "
                                      "song file");
  }
  std::string text(static_cast<std::size_t>(source.size()), '\0');
  source.readZeroFilled(0, text.data(), text.size());
  while (!text.empty() && text.back() == '\0') text.pop_back();
  try {
    return compileSongText(text, textWarnings);
  } catch (const SongTextError&) {
    // Zero bytes in a text that does not compile: some other file.
    if (namedAsSongFile || text.find('\0') != std::string::npos) {
      throw LoadError("not a valid .zvo file");
    }
    throw;
  }
}

}  // namespace zorvik
