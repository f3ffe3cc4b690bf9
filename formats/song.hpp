// The song record and its loader. A song is one pattern of 96 steps of three
// channels, a tempo byte and three text fields; in memory it is always in the
// version-2 layout, byte for byte the body of a version-2 file.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "formats/cell.hpp"
#include "formats/source.hpp"
#include "formats/text_field.hpp"

namespace zorvik {

using StepCells = std::array<SongCell, kChannels>;

struct Song {
  TextField title;
  TextField author;
  TextField bankName;
  std::array<StepCells, kSteps> cells;
  std::uint8_t tempo;
};

// The version-1 body: no bank name.
struct SongV1 {
  TextField title;
  TextField author;
  std::array<StepCells, kSteps> cells;
  std::uint8_t tempo;
};

static_assert(sizeof(SongCell) == 2);
static_assert(sizeof(Song) == 673, "Song must match the version-2 body byte for byte");
static_assert(sizeof(SongV1) == 641, "SongV1 must match the version-1 body byte for byte");

inline constexpr std::uint32_t kSongMagic = 0x6F6B767A;  // "zvko"
inline constexpr std::size_t kSongHeadSize = 7;
inline constexpr std::size_t kSongV1FileSize = kSongHeadSize + sizeof(SongV1);
inline constexpr std::size_t kSongV2FileSize = kSongHeadSize + sizeof(Song);

// A version-1 body moved to the version-2 layout, naming the default bank.
Song upgradeSong(const SongV1& v1);

// Reads a song from a byte source; throws LoadError with the format's message.
Song readSong(const Source& source);

// Opens a song file; a path that cannot be opened as a regular file gives
// "file not found". Throws LoadError.
Song loadSong(const std::string& path);

// The bytes of a version-2 song file holding this song.
std::array<std::uint8_t, kSongV2FileSize> songFileBytes(const Song& song);

}  // namespace zorvik
