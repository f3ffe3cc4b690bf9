// Where zorvik looks for the bank a song names, in order:
//   1. the song's own folder;
//   2. each folder of ZORVIK_BANK_PATH (colon-separated);
//   3. $XDG_DATA_HOME/zorvik/instruments (by default ~/.local/share/...);
//   4. zorvik/instruments in each folder of XDG_DATA_DIRS (by default
//      /usr/local/share and /usr/share);
//   5. instruments/ beside the program, where the player looks.
// The first folder holding the name as a regular file wins. When none does,
// default.zvi plays, from the first folder holding one.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "formats/bank.hpp"
#include "formats/song.hpp"

namespace zorvik::tool {

// The search, for the --help of the commands that use it.
inline constexpr std::string_view kBankSearchHelp =
    "The bank a song names is looked for in the song's folder, in each folder of\n"
    "ZORVIK_BANK_PATH, in $XDG_DATA_HOME/zorvik/instruments, in zorvik/instruments\n"
    "of each folder of XDG_DATA_DIRS, then in instruments/ beside zorvik; when none\n"
    "holds it, the default bank plays, with a warning.\n";

// The folders, each ending in "/", for a song at songPath ("-" for one read
// from standard input, which has no folder of its own).
std::vector<std::string> bankFolders(const std::string& songPath, const std::string& programFolder);

struct FoundBank {
  SampleBank bank;
  std::string path;        // the file it came from
  bool isDefault = false;  // the named bank is nowhere: the default bank plays
};

// Loads the bank the song names, as above. A name that would leave the
// folder it is looked up in is not looked up. Throws Error when the file
// found is not a valid bank, or when the default bank is nowhere either.
FoundBank findBank(const std::vector<std::string>& folders, std::string_view bankName);

// The bank a song at songPath plays with: bankFile (--bank) when given, read
// as any input; else the one the song names, found as above.
FoundBank songBank(const std::string& songPath, const Song& song,
                   const std::optional<std::string>& bankFile, const std::string& programFolder);

}  // namespace zorvik::tool
