// A song from bytes that are either a song file or a song text, told apart
// by one rule that every reader follows: bytes that begin with the song
// magic are a song file, any others a song text. A text may hold zero
// bytes (in a comment, say) and may end with them, as a C string handed
// over with its terminator does.
#pragma once

#include <vector>

#include "formats/song.hpp"
#include "formats/song_text.hpp"
#include "formats/source.hpp"

namespace zorvik {

// Whether the bytes are a song file (else they are a song text).
bool isSongFile(const Source& source);

// Throws LoadError ("not a valid .zvo file") or SongTextError. A text that
// does not compile is reported as a song file that is not valid when it
// holds a zero byte (some other file, surely) or when the source is named
// as a song file (namedAsSongFile): it was not meant as a text. A text
// longer than kMaxSongTextBytes is refused. For a text, textWarnings (when
// given) receives its warnings.
Song readSongOrText(const Source& source, bool namedAsSongFile = false,
                    std::vector<SongTextWarning>* textWarnings = nullptr);

}  // namespace zorvik
