// The C API over the core: no exception crosses it, no global state.

#include "zorvik/zorvik.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <new>
#include <span>
#include <string>
#include <string_view>

#include "display/roll.hpp"
#include "display/screen.hpp"
#include "engine/block_mixer.hpp"
#include "engine/sequencer.hpp"
#include "formats/bank.hpp"
#include "formats/error.hpp"
#include "formats/song_input.hpp"

using namespace zorvik;

static_assert(ZORVIK_SAMPLE_RATE == kSampleRate && ZORVIK_STEPS == kSteps &&
              ZORVIK_SCREEN_LINES == kScreenLines);

namespace {

// Copies text into a caller's buffer of size bytes, cut to fit, zero-ended.
void copyText(std::string_view text, char* out, std::size_t size) {
  if (out == nullptr || size == 0) return;
  std::size_t n = std::min(text.size(), size - 1);
  std::memcpy(out, text.data(), n);
  out[n] = '\0';
}

// A step number of any sign, as the step of the loop it falls on.
int wrapStep(int step) { return ((step % kSteps) + kSteps) % kSteps; }

std::span<const std::uint8_t> bytesOf(const void* data, std::size_t size) {
  if (data == nullptr) return {};
  return {static_cast<const std::uint8_t*>(data), size};
}

}  // namespace

struct zorvik_player {
  Song song;
  SampleBank bank;
  Player player;
  RollPages pages;
  // The texts, zero-ended.
  char title[kTextFieldSize + 1];
  char author[kTextFieldSize + 1];
  char songBank[kTextFieldSize + 1];
  char bankName[kTextFieldSize + 1];
  char bankAuthor[kTextFieldSize + 1];

  zorvik_player(Song s, SampleBank b)
      : song(s), bank(std::move(b)), player(song.tempo, song, bank), pages(buildRollPages(song)) {
    copyText(textOf(song.title), title, sizeof title);
    copyText(textOf(song.author), author, sizeof author);
    copyText(textOf(song.bankName), songBank, sizeof songBank);
    copyText(textOf(bank.header.name), bankName, sizeof bankName);
    copyText(textOf(bank.header.author), bankAuthor, sizeof bankAuthor);
  }
};

extern "C" {

const char* zorvik_version(void) { return ZORVIK_VERSION_STRING; }

zorvik_player* zorvik_player_new(const void* song, size_t song_size, const void* bank,
                                 size_t bank_size, char* error, size_t error_size) {
  try {
    Song s = readSongOrText(MemorySource(bytesOf(song, song_size)));
    SampleBank b = readSampleBank(MemorySource(bytesOf(bank, bank_size)));
    return new zorvik_player(s, std::move(b));
  } catch (const std::bad_alloc&) {
    copyText("out of memory", error, error_size);
  } catch (const std::exception& e) {
    copyText(e.what(), error, error_size);
  }
  return nullptr;
}

void zorvik_player_free(zorvik_player* player) { delete player; }

size_t zorvik_player_render(zorvik_player* player, int16_t* out, size_t count) {
  if (player == nullptr || out == nullptr) return 0;
  renderFully(player->player, {out, count});
  return count;
}

int zorvik_player_step(const zorvik_player* player) {
  return player == nullptr ? 0 : player->player.currentStep;
}

int32_t zorvik_player_samples_per_step(const zorvik_player* player) {
  return player == nullptr ? 0 : player->player.samplesPerStep;
}

void zorvik_player_seek(zorvik_player* player, int step) {
  if (player == nullptr) return;
  jumpToStep(player->player, wrapStep(step));
}

size_t zorvik_player_screen(const zorvik_player* player, int step, char* out, size_t size) {
  if (player == nullptr) return 0;
  try {
    std::string text;
    for (const std::string& line :
         screenLines(player->song, player->bank.header, player->pages, wrapStep(step))) {
      text += line + '\n';
    }
    copyText(text, out, size);
    return text.size();
  } catch (const std::exception&) {
    copyText("", out, size);
    return 0;
  }
}

const char* zorvik_player_title(const zorvik_player* player) {
  return player == nullptr ? "" : player->title;
}
const char* zorvik_player_author(const zorvik_player* player) {
  return player == nullptr ? "" : player->author;
}
const char* zorvik_player_song_bank(const zorvik_player* player) {
  return player == nullptr ? "" : player->songBank;
}
const char* zorvik_player_bank_name(const zorvik_player* player) {
  return player == nullptr ? "" : player->bankName;
}
const char* zorvik_player_bank_author(const zorvik_player* player) {
  return player == nullptr ? "" : player->bankAuthor;
}

int zorvik_song_bank(const void* song, size_t song_size, char* out, size_t size) {
  try {
    Song s = readSongOrText(MemorySource(bytesOf(song, song_size)));
    copyText(textOf(s.bankName), out, size);
    return 0;
  } catch (const std::bad_alloc&) {
    copyText("out of memory", out, size);
  } catch (const std::exception& e) {
    copyText(e.what(), out, size);
  }
  return -1;
}

}  // extern "C"
