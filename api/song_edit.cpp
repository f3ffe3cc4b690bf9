// The C API for editors: a song edited in place in the bytes of its .zvo
// file, and the names and rules of its cells. Each rule is the core's own
// (formats/); nothing here knows where a field sits in the file.

#include <algorithm>
#include <array>
#include <cstring>
#include <exception>
#include <optional>
#include <string>
#include <string_view>

#include "formats/cell.hpp"
#include "formats/song.hpp"
#include "formats/song_check.hpp"
#include "formats/song_text.hpp"
#include "zorvik/zorvik.h"

using namespace zorvik;

static_assert(ZORVIK_PITCH_ROWS == kPitchRows && ZORVIK_INSTRUMENTS == kBankInstruments &&
              ZORVIK_NO_NOTE == kNoNote.pitch * 256 + kNoNote.instrument);

namespace {

// What instruments a to o sound like in the default bank that ships with
// the library (instruments/ synthesises it, in this order), for editors that
// offer them by name.
constexpr std::array<const char*, kBankInstruments> kDefaultBankSounds = {
    "kick", "snare", "closed hi-hat", "open hi-hat", "clap",           "tom",     "bass", "pluck",
    "pad",  "bell",  "organ",         "square lead", "electric piano", "marimba", "brass"};

// The song a .zvo file's bytes hold, when they are a whole version-2 file.
std::optional<Song> songIn(const std::uint8_t* bytes, std::size_t size) {
  if (bytes == nullptr || size != kSongV2FileSize) return std::nullopt;
  try {
    MemorySource source({bytes, size});
    Song song = readSong(source);
    // A version-1 file of that size would be read too: only a version-2
    // file is rewritten in place.
    if (std::memcmp(songFileBytes(song).data(), bytes, size) != 0) return std::nullopt;
    return song;
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

// Reads the song, lets edit change it (false: refused), and writes it back.
template <typename F>
int editSong(std::uint8_t* bytes, std::size_t size, F edit) {
  std::optional<Song> song = songIn(bytes, size);
  if (!song || !edit(*song)) return -1;
  auto file = songFileBytes(*song);
  std::memcpy(bytes, file.data(), file.size());
  return 0;
}

bool isByte(int value) { return value >= 0 && value <= 255; }
bool isCell(int step, int channel) {
  return step >= 0 && step < kSteps && channel >= 0 && channel < kChannels;
}

SongCell cellOf(int pitch, int instrument) {
  return {static_cast<std::uint8_t>(pitch), static_cast<std::uint8_t>(instrument)};
}

std::size_t copyName(const std::string& text, char* out, std::size_t size) {
  if (out != nullptr && size > 0) {
    std::size_t n = std::min(text.size(), size - 1);
    std::memcpy(out, text.data(), n);
    out[n] = '\0';
  }
  return text.size();
}

}  // namespace

extern "C" {

void zorvik_song_empty(uint8_t* song) {
  if (song == nullptr) return;
  Song empty{};
  empty.bankName = makeTextField("default.zvi");
  for (StepCells& step : empty.cells) step.fill(kNoNote);
  empty.tempo = 100;
  auto file = songFileBytes(empty);
  std::memcpy(song, file.data(), file.size());
}

int zorvik_song_cell(const uint8_t* song, size_t song_size, int step, int channel) {
  std::optional<Song> s = songIn(song, song_size);
  if (!s || !isCell(step, channel)) return -1;
  const SongCell& cell =
      s->cells[static_cast<std::size_t>(step)][static_cast<std::size_t>(channel)];
  return cell.pitch * 256 + cell.instrument;
}

int zorvik_song_set_cell(uint8_t* song, size_t song_size, int step, int channel, int pitch,
                         int instrument) {
  return editSong(song, song_size, [&](Song& s) {
    if (!isCell(step, channel) || !isByte(pitch) || !isByte(instrument)) return false;
    s.cells[static_cast<std::size_t>(step)][static_cast<std::size_t>(channel)] =
        cellOf(pitch, instrument);
    return true;
  });
}

int zorvik_song_clear_cell(uint8_t* song, size_t song_size, int step, int channel) {
  return zorvik_song_set_cell(song, song_size, step, channel, kNoNote.pitch, kNoNote.instrument);
}

int zorvik_song_tempo(const uint8_t* song, size_t song_size) {
  std::optional<Song> s = songIn(song, song_size);
  return s ? s->tempo : -1;
}

int zorvik_song_set_tempo(uint8_t* song, size_t song_size, int tempo) {
  return editSong(song, song_size, [&](Song& s) {
    if (!isByte(tempo)) return false;
    s.tempo = static_cast<std::uint8_t>(tempo);
    return true;
  });
}

int zorvik_song_set_text(uint8_t* song, size_t song_size, int field, const char* text,
                         size_t text_size) {
  return editSong(song, song_size, [&](Song& s) {
    if (text == nullptr && text_size > 0) return false;
    std::string_view value(text == nullptr ? "" : text, text_size);
    if (value.size() > kTextFieldSize || value.find('\0') != std::string_view::npos) return false;
    TextField* slot = field == ZORVIK_TITLE    ? &s.title
                      : field == ZORVIK_AUTHOR ? &s.author
                      : field == ZORVIK_BANK   ? &s.bankName
                                               : nullptr;
    if (slot == nullptr) return false;
    // All 32 bytes may be text: a slot with no zero byte reads whole.
    slot->fill('\0');
    std::copy(value.begin(), value.end(), slot->begin());
    return true;
  });
}

int zorvik_cell_starts_note(int pitch, int instrument) {
  return isByte(pitch) && isByte(instrument) && startsNote(cellOf(pitch, instrument)) ? 1 : 0;
}

int zorvik_cell_sounds(int pitch, int instrument) {
  return isByte(pitch) && isByte(instrument) && isPlayable(cellOf(pitch, instrument)) ? 1 : 0;
}

int zorvik_roll_shows_row(int pitch) {
  return isByte(pitch) && rollShowsRow(static_cast<std::uint8_t>(pitch)) ? 1 : 0;
}

size_t zorvik_pitch_name(int pitch, char* out, size_t size) {
  return copyName(isByte(pitch) ? pitchText(static_cast<std::uint8_t>(pitch)) : "", out, size);
}

size_t zorvik_instrument_name(int instrument, char* out, size_t size) {
  return copyName(isByte(instrument) ? instrumentName(static_cast<std::uint8_t>(instrument)) : "",
                  out, size);
}

size_t zorvik_cell_text(int pitch, int instrument, char* out, size_t size) {
  return copyName(isByte(pitch) && isByte(instrument) ? cellText(cellOf(pitch, instrument)) : "",
                  out, size);
}

size_t zorvik_default_bank_sound(int instrument, char* out, size_t size) {
  bool named = instrument >= 0 && instrument < kBankInstruments;
  return copyName(named ? kDefaultBankSounds[static_cast<std::size_t>(instrument)] : "", out, size);
}

size_t zorvik_song_max_size(void) { return kMaxSongTextBytes; }

}  // extern "C"
