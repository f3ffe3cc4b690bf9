// The song text compiler on any text: it either throws SongTextError or
// gives a song whose own text compiles back to the very same bytes.

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "formats/song.hpp"
#include "formats/song_text.hpp"
#include "fuzz/fuzz_check.hpp"

using namespace zorvik;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  Song song;
  try {
    song = compileSongText(text);
  } catch (const SongTextError&) {
    return 0;
  }

  const std::string decompiled = decompileSong(song);
  Song again;
  try {
    again = compileSongText(decompiled);
  } catch (const SongTextError& e) {
    std::fprintf(stderr, "the decompiled text does not compile: %s\n--\n%s--\n", e.what(),
                 decompiled.c_str());
    std::abort();
  }
  FUZZ_CHECK(std::memcmp(&song, &again, sizeof song) == 0);
  FUZZ_CHECK(decompileSong(again) == decompiled);
  return 0;
}
