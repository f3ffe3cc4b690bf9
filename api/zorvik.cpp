// The C API over the core: no exception crosses it, no global state.

#include "zorvik/zorvik.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <memory>
#include <new>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "api_support.hpp"
#include "display/roll.hpp"
#include "display/screen.hpp"
#include "engine/playback.hpp"
#include "formats/bank.hpp"
#include "formats/song_check.hpp"
#include "formats/song_input.hpp"
#include "formats/song_text.hpp"

using namespace zorvik;
using namespace zorvik::api;

static_assert(ZORVIK_SAMPLE_RATE == kSampleRate && ZORVIK_STEPS == kSteps &&
              ZORVIK_SCREEN_LINES == kScreenLines && ZORVIK_SONG_FILE_SIZE == kSongV2FileSize);

namespace {

// A step number of any sign, as the step of the loop it falls on.
int wrapStep(int step) { return ((step % kSteps) + kSteps) % kSteps; }

}  // namespace

struct zorvik_player {
  // Renders without keeping a loop, so that rendering never allocates: a
  // caller may render from an audio callback.
  Playback playback;
  RollPages pages;
  // The texts, zero-ended.
  char title[kTextFieldSize + 1];
  char author[kTextFieldSize + 1];
  char songBank[kTextFieldSize + 1];
  char bankName[kTextFieldSize + 1];
  char bankAuthor[kTextFieldSize + 1];

  zorvik_player(const Song& song, std::shared_ptr<const SampleBank> bank)
      : playback(song, std::move(bank), 0, 0) {
    describe();
  }

  // The roll and the texts of what plays now.
  void describe() {
    const Song& song = playback.song();
    pages = buildRollPages(song);
    copyText(textOf(song.title), title, sizeof title);
    copyText(textOf(song.author), author, sizeof author);
    copyText(textOf(song.bankName), songBank, sizeof songBank);
    copyText(textOf(playback.bank().header.name), bankName, sizeof bankName);
    copyText(textOf(playback.bank().header.author), bankAuthor, sizeof bankAuthor);
  }
};

extern "C" {

const char* zorvik_version(void) { return ZORVIK_VERSION_STRING; }

zorvik_player* zorvik_player_new(const void* song, size_t song_size, const void* bank,
                                 size_t bank_size, char* error, size_t error_size) {
  zorvik_player* player = nullptr;
  reporting(error, error_size, [&] {
    Song s = readSongOrText(MemorySource(bytesOf(song, song_size)));
    auto b =
        std::make_shared<const SampleBank>(readSampleBank(MemorySource(bytesOf(bank, bank_size))));
    player = new zorvik_player(s, std::move(b));
  });
  return player;
}

void zorvik_player_free(zorvik_player* player) { delete player; }

size_t zorvik_player_render(zorvik_player* player, int16_t* out, size_t count) {
  if (player == nullptr || out == nullptr) return 0;
  return player->playback.fill({out, count});
}

int zorvik_player_step(const zorvik_player* player) {
  return player == nullptr ? 0 : player->playback.step();
}

int32_t zorvik_player_samples_per_step(const zorvik_player* player) {
  return player == nullptr ? 0 : player->playback.samplesPerStep();
}

void zorvik_player_seek(zorvik_player* player, int step) {
  if (player == nullptr) return;
  PlayPosition at = player->playback.position();
  player->playback.seek({at.loop, wrapStep(step), 0});
}

void zorvik_player_seek_to(zorvik_player* player, uint64_t loop, int step, int32_t into) {
  if (player != nullptr) player->playback.seek({loop, step, into});
}

uint64_t zorvik_player_position(const zorvik_player* player) {
  return player == nullptr ? 0 : player->playback.played();
}

uint64_t zorvik_player_loop(const zorvik_player* player) {
  return player == nullptr ? 0 : player->playback.position().loop;
}

uint64_t zorvik_player_loop_length(const zorvik_player* player) {
  return player == nullptr ? 0 : player->playback.loopLength();
}

int zorvik_player_step_at(const zorvik_player* player, uint64_t position) {
  return player == nullptr ? 0 : player->playback.positionOf(position).step;
}

void zorvik_player_set_loops(zorvik_player* player, uint64_t loops) {
  if (player != nullptr) player->playback.setLoops(loops);
}

int zorvik_player_ended(const zorvik_player* player) {
  return player != nullptr && player->playback.ended() ? 1 : 0;
}

void zorvik_player_set_heard(zorvik_player* player, unsigned heard) {
  if (player != nullptr) player->playback.setHeard(heard);
}

unsigned zorvik_player_heard(const zorvik_player* player) {
  return player == nullptr ? 0 : player->playback.heard();
}

void zorvik_player_set_gain(zorvik_player* player, double decibels) {
  // NaN is no gain at all: it leaves the volume as it was.
  if (player != nullptr && decibels == decibels) player->playback.setGain(decibels);
}

double zorvik_player_gain(const zorvik_player* player) {
  return player == nullptr ? 0.0 : player->playback.gain();
}

uint64_t zorvik_player_limited(const zorvik_player* player) {
  return player == nullptr ? 0 : player->playback.limited();
}

int zorvik_player_replace(zorvik_player* player, const void* song, size_t song_size,
                          const void* bank, size_t bank_size, char* error, size_t error_size) {
  if (player == nullptr) {
    copyText("no player", error, error_size);
    return -1;
  }
  return reporting(error, error_size, [&] {
    Song s = readSongOrText(MemorySource(bytesOf(song, song_size)));
    std::shared_ptr<const SampleBank> b = player->playback.sharedBank();
    if (bank != nullptr) {
      b = std::make_shared<const SampleBank>(
          readSampleBank(MemorySource(bytesOf(bank, bank_size))));
    }
    player->playback.replace(s, std::move(b));
    player->describe();
  });
}

size_t zorvik_player_screen(const zorvik_player* player, int step, char* out, size_t size) {
  if (player == nullptr) return 0;
  try {
    std::string text;
    for (const std::string& line :
         screenLines(player->playback.song(), player->playback.bank().header, player->pages,
                     wrapStep(step))) {
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
  return reporting(out, size, [&] {
    Song s = readSongOrText(MemorySource(bytesOf(song, song_size)));
    copyText(textOf(s.bankName), out, size);
  });
}

int zorvik_song_compile(const void* song, size_t song_size, uint8_t* out, char* warnings,
                        size_t warnings_size) {
  int count = 0;
  int status = reporting(warnings, warnings_size, [&] {
    std::vector<SongTextWarning> found;
    Song s = readSongOrText(MemorySource(bytesOf(song, song_size)), false, &found);
    std::string lines;
    for (const SongTextWarning& w : found) {
      lines += "line " + std::to_string(w.line) + ", column " + std::to_string(w.column) + ": " +
               w.message + '\n';
    }
    // A text's warnings are those of its cells, where the text has them;
    // a song file has none of its own, and its cells say where.
    if (found.empty()) {
      for (const CellWarning& w : checkSong(s)) {
        lines += "step " + std::to_string(w.step) + ", channel " + std::to_string(w.channel + 1) +
                 ": " + w.message + '\n';
        ++count;
      }
    }
    count += static_cast<int>(found.size());
    if (out != nullptr) {
      auto file = songFileBytes(s);
      std::memcpy(out, file.data(), file.size());
    }
    copyText(lines, warnings, warnings_size);
  });
  return status < 0 ? -1 : count;
}

size_t zorvik_song_decompile(const void* song, size_t song_size, char* out, size_t size) {
  std::size_t length = 0;
  reporting(out, size, [&] {
    std::string text = decompileSong(readSongOrText(MemorySource(bytesOf(song, song_size))));
    copyText(text, out, size);
    length = text.size();
  });
  return length;
}

}  // extern "C"
