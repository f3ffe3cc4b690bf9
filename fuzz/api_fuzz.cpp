// The C API on any bytes, as another program would call it: the first
// byte says how many of the rest are the song (a .zvo file or a text, in
// steps of 8 bytes), the rest is the bank. zorvik_player_new either fails
// with a message or makes a player that renders, seeks and draws screens,
// whatever the files hold; and the stream it renders is the engine's. The
// same bytes make a MIDI file, and the song's .zvo bytes are edited with
// values taken from the bank's bytes.

#include <zorvik/zorvik.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/block_mixer.hpp"
#include "formats/song_input.hpp"
#include "fuzz/fuzz_check.hpp"

using namespace zorvik;

namespace {

// The editing functions on the song's .zvo bytes, when it compiles: each
// edit reads back as made and leaves a song that loads as those bytes;
// one out of range is refused and changes nothing.
void editSong(const std::uint8_t* song, std::size_t songSize, const std::uint8_t* values,
              std::size_t count) {
  std::uint8_t file[ZORVIK_SONG_FILE_SIZE];
  if (zorvik_song_compile(song, songSize, file, nullptr, 0) < 0) return;
  auto value = [&](std::size_t i) { return i < count ? int{values[i]} : 0; };
  const int step = value(0) % 100, channel = value(1) % 4, pitch = value(2), instrument = value(3);
  const bool inRange = step < 96 && channel < 3;
  std::uint8_t before[sizeof file];
  std::memcpy(before, file, sizeof file);
  FUZZ_CHECK(zorvik_song_set_cell(file, sizeof file, step, channel, pitch, instrument) ==
             (inRange ? 0 : -1));
  FUZZ_CHECK(zorvik_song_cell(file, sizeof file, step, channel) ==
             (inRange ? pitch * 256 + instrument : -1));
  if (!inRange) FUZZ_CHECK(std::memcmp(file, before, sizeof file) == 0);
  FUZZ_CHECK(zorvik_song_set_tempo(file, sizeof file, value(4)) == 0);
  FUZZ_CHECK(zorvik_song_tempo(file, sizeof file) == value(4));
  const std::size_t textSize = std::min<std::size_t>(value(5) % 40, count > 6 ? count - 6 : 0);
  const char* text = reinterpret_cast<const char*>(values + std::min<std::size_t>(6, count));
  const bool fits = textSize <= 32 && std::memchr(text, 0, textSize) == nullptr;
  FUZZ_CHECK(zorvik_song_set_text(file, sizeof file, value(6) % 4, text, textSize) ==
             (fits && value(6) % 4 < 3 ? 0 : -1));
  std::uint8_t again[sizeof file];
  FUZZ_CHECK(zorvik_song_compile(file, sizeof file, again, nullptr, 0) >= 0);
  FUZZ_CHECK(std::memcmp(file, again, sizeof file) == 0);
  char name[16];
  FUZZ_CHECK(zorvik_cell_text(pitch, instrument, name, sizeof name) < sizeof name);
  FUZZ_CHECK(zorvik_cell_sounds(pitch, instrument) <= zorvik_cell_starts_note(pitch, instrument));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t songSize = std::min<std::size_t>(data[0] * std::size_t{8}, size - 1);
  const std::uint8_t* song = data + 1;
  const std::uint8_t* bank = song + songSize;
  const std::size_t bankSize = size - 1 - songSize;

  editSong(song, songSize, bank, bankSize);

  char error[64];
  std::memset(error, 'x', sizeof error);
  zorvik_player* player = zorvik_player_new(song, songSize, bank, bankSize, error, sizeof error);
  if (player == nullptr) {
    FUZZ_CHECK(std::memchr(error, '\0', sizeof error) != nullptr);  // zero-ended, cut to fit
    FUZZ_CHECK(error[0] != '\0');
    return 0;
  }

  // The same samples as the engine, from the same bytes.
  Song reference = readSongOrText(MemorySource({song, songSize}));
  SampleBank referenceBank = readSampleBank(MemorySource({bank, bankSize}));
  Player engine(reference.tempo, reference, referenceBank);
  std::vector<std::int16_t> got(3000), expected(3000);
  FUZZ_CHECK(zorvik_player_render(player, got.data(), got.size()) == got.size());
  renderFully(engine, expected);
  FUZZ_CHECK(got == expected);
  FUZZ_CHECK(zorvik_player_step(player) == engine.currentStep);
  FUZZ_CHECK(zorvik_player_samples_per_step(player) == engine.samplesPerStep);

  zorvik_player_seek(player, data[0]);
  FUZZ_CHECK(zorvik_player_step(player) == data[0] % 96);
  FUZZ_CHECK(zorvik_player_render(player, got.data(), 100) == 100);

  char screen[2048];
  std::size_t needed = zorvik_player_screen(player, data[0] % 96, screen, sizeof screen);
  // A note's mark may be any byte, a zero too: the length counts them all.
  FUZZ_CHECK(needed > 0 && needed < sizeof screen && screen[needed] == '\0');
  char small[16];
  FUZZ_CHECK(zorvik_player_screen(player, 0, small, sizeof small) >= sizeof small - 1);
  FUZZ_CHECK(small[sizeof small - 1] == '\0');
  for (const char* text :
       {zorvik_player_title(player), zorvik_player_author(player), zorvik_player_song_bank(player),
        zorvik_player_bank_name(player), zorvik_player_bank_author(player)}) {
    FUZZ_CHECK(std::strlen(text) <= 32);
  }
  zorvik_player_free(player);

  // The MIDI file of the same bytes: its length first, then the file.
  const unsigned loops = data[0] % 3;
  const std::size_t length =
      zorvik_song_midi(song, songSize, bank, bankSize, loops, nullptr, 0, error, sizeof error);
  FUZZ_CHECK(length > 14);
  std::vector<std::uint8_t> midi(length);
  FUZZ_CHECK(zorvik_song_midi(song, songSize, bank, bankSize, loops, midi.data(), midi.size(),
                              error, sizeof error) == length);
  FUZZ_CHECK(std::memcmp(midi.data(), "MThd", 4) == 0);
  return 0;
}
