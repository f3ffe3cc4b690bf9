// The C API over the core: no exception crosses it, no global state.

#include "zorvik/zorvik.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <new>
#include <string>

#include "display/roll.hpp"
#include "display/screen.hpp"
#include "engine/block_mixer.hpp"
#include "engine/sequencer.hpp"
#include "formats/bank.hpp"
#include "formats/error.hpp"
#include "formats/song_input.hpp"

using namespace zorvik;

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
    copyText(title, song.title);
    copyText(author, song.author);
    copyText(songBank, song.bankName);
    copyText(bankName, bank.header.name);
    copyText(bankAuthor, bank.header.author);
  }

 private:
  static void copyText(char (&out)[kTextFieldSize + 1], const TextField& field) {
    std::string_view text = textOf(field);
    std::memcpy(out, text.data(), text.size());
    out[text.size()] = '\0';
  }
};

namespace {

// Copies a message into a caller's buffer, cut to fit, zero-ended.
void copyMessage(const char* message, char* out, std::size_t size) {
  if (out == nullptr || size == 0) return;
  std::size_t n = std::min(std::strlen(message), size - 1);
  std::memcpy(out, message, n);
  out[n] = '\0';
}

std::span<const std::uint8_t> bytesOf(const void* data, std::size_t size) {
  if (data == nullptr) return {};
  return {static_cast<const std::uint8_t*>(data), size};
}

}  // namespace

extern "C" {

const char* zorvik_version(void) { return ZORVIK_VERSION_STRING; }

zorvik_player* zorvik_player_new(const void* song, size_t song_size, const void* bank,
                                 size_t bank_size, char* error, size_t error_size) {
  try {
    Song s = readSongOrText(MemorySource(bytesOf(song, song_size)));
    SampleBank b = readSampleBank(MemorySource(bytesOf(bank, bank_size)));
    return new zorvik_player(s, std::move(b));
  } catch (const std::bad_alloc&) {
    copyMessage("out of memory", error, error_size);
  } catch (const std::exception& e) {
    copyMessage(e.what(), error, error_size);
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
  jumpToStep(player->player, ((step % kSteps) + kSteps) % kSteps);
}

size_t zorvik_player_screen(const zorvik_player* player, int step, char* out, size_t size) {
  if (player == nullptr) return 0;
  try {
    std::string text;
    std::int32_t shown = ((step % kSteps) + kSteps) % kSteps;
    for (const std::string& line :
         screenLines(player->song, player->bank.header, player->pages, shown)) {
      text += line + '\n';
    }
    if (out != nullptr && size > 0) {
      std::size_t n = std::min(text.size(), size - 1);
      std::memcpy(out, text.data(), n);
      out[n] = '\0';
    }
    return text.size();
  } catch (const std::exception&) {
    copyMessage("", out, size);
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
    copyMessage(std::string(textOf(s.bankName)).c_str(), out, size);
    return 0;
  } catch (const std::bad_alloc&) {
    copyMessage("out of memory", out, size);
  } catch (const std::exception& e) {
    copyMessage(e.what(), out, size);
  }
  return -1;
}

}  // extern "C"
