// A song ready to play: the song, the bank it plays with, its roll, and
// where both came from (for the screen and for --watch).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "display/roll.hpp"
#include "formats/bank.hpp"
#include "formats/song.hpp"

namespace zorvik::play {

// What a file is on disk now, to tell when it changes.
struct FileStamp {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  long long size = -1;
  long long modified = 0;  // nanoseconds
  friend bool operator==(const FileStamp&, const FileStamp&) = default;
};
std::optional<FileStamp> stampOf(const std::string& path);

struct Deck {
  int index = 0;         // in the playlist
  std::string songPath;  // as given
  std::string songFile;  // where to look for it again: absolute, when it was relative
  Song song{};
  std::shared_ptr<const SampleBank> bank;
  RollPages pages;
  std::string bankPath;     // the file the bank came from
  std::string missingBank;  // the bank the song names, when it is nowhere ("" when found)
  std::optional<FileStamp> songStamp;
  std::optional<FileStamp> bankStamp;
};

struct BankChoice {
  std::optional<std::string> file;  // --bank: every song with this one
  std::string programFolder;        // for the search's last folder
};

// The bank file the song would play with now, and its stamp: --bank's, or
// what the search finds (nothing when it finds nothing).
struct BankLookup {
  std::string path;
  bool isDefault = false;
  std::optional<FileStamp> stamp;
  friend bool operator==(const BankLookup&, const BankLookup&) = default;
};
BankLookup lookUpBank(const std::string& songFile, const Song& song, const BankChoice& bank);

// Loads a song and its bank. With `previous` (an earlier version of the same
// song), its bank is kept when the bank to play is the same file, unchanged.
// Throws Error "FILE: message".
std::shared_ptr<const Deck> loadDeck(int index, const std::string& songPath, const BankChoice& bank,
                                     const Deck* previous = nullptr);

}  // namespace zorvik::play
