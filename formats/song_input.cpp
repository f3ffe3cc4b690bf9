#include "formats/song_input.hpp"

#include <string>

#include "formats/bytes.hpp"
#include "formats/error.hpp"
#include "formats/song_text.hpp"

namespace zorvik {

Song readSongOrText(const Source& source, bool namedAsSongFile,
                    std::vector<SongTextWarning>* textWarnings) {
  std::uint8_t head[4] = {};
  source.readZeroFilled(0, head, sizeof head);
  if (readLe32(head) == kSongMagic) return readSong(source);
  // Nothing at all is no song of either kind; the song file's loader says so.
  if (source.size() == 0) return readSong(source);
  if (source.size() > kMaxSongTextBytes) {
    throw LoadError(namedAsSongFile ? "not a valid .zvo file"
                                    : "larger than the 1 MiB a song text can hold, and not a "
                                      "song file");
  }
  std::string text(static_cast<std::size_t>(source.size()), '\0');
  source.readZeroFilled(0, text.data(), text.size());
  // Zero bytes mean binary: some other file, not a text to misread.
  if (text.find('\0') != std::string::npos) throw LoadError("not a valid .zvo file");
  try {
    return compileSongText(text, textWarnings);
  } catch (const SongTextError&) {
    if (namedAsSongFile) throw LoadError("not a valid .zvo file");
    throw;
  }
}

}  // namespace zorvik
