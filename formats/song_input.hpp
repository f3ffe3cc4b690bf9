// A song from bytes that are either a song file or a song text, told apart
// by content: bytes that begin with the song magic are a song file, bytes
// with no zero byte a song text, anything else neither.
#pragma once

#include <vector>

#include "formats/song.hpp"
#include "formats/song_text.hpp"
#include "formats/source.hpp"

namespace zorvik {

// Throws LoadError ("not a valid .zvo file") or SongTextError. When the
// bytes are not a song file and fail as a text, a source named as a song
// file (namedAsSongFile) reports the song file's error: it was surely not
// meant as a text. A text longer than kMaxSongTextBytes is refused. For a
// text, textWarnings (when given) receives compileSongText's warnings.
Song readSongOrText(const Source& source, bool namedAsSongFile = false,
                    std::vector<SongTextWarning>* textWarnings = nullptr);

}  // namespace zorvik
