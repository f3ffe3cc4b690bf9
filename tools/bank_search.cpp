#include "tools/bank_search.hpp"

#include <cstdlib>
#include <optional>

#include "display/safe_text.hpp"
#include "formats/error.hpp"
#include "platform/os.hpp"
#include "tools/input.hpp"
#include "tools/messages.hpp"

namespace zorvik::tool {

namespace {

std::string env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

void addList(std::vector<std::string>& folders, const std::string& list, const std::string& under) {
  std::size_t start = 0;
  while (start <= list.size()) {
    std::size_t end = std::min(list.find(os::kListSeparator, start), list.size());
    std::string folder = list.substr(start, end - start);
    // Empty entries and relative ones (which XDG says to ignore) are skipped.
    if (os::isAbsolute(folder)) {
      if (!os::isSeparator(folder.back())) folder += os::kSeparator;
      folders.push_back(folder + under);
    }
    start = end + 1;
  }
}

void addXdgFolders(std::vector<std::string>& folders) {
  std::string dataHome = env("XDG_DATA_HOME");
  if (dataHome.empty() || dataHome.front() != '/') {
    std::string home = env("HOME");
    if (!home.empty()) dataHome = home + "/.local/share";
  }
  if (!dataHome.empty()) addList(folders, dataHome, "zorvik/instruments/");
  std::string dataDirs = env("XDG_DATA_DIRS");
  addList(folders, dataDirs.empty() ? "/usr/local/share/:/usr/share/" : dataDirs,
          "zorvik/instruments/");
}

}  // namespace

std::vector<std::string> bankFolders(const std::string& songPath,
                                     const std::string& programFolder) {
  std::vector<std::string> folders;
  if (songPath != "-") {
    std::size_t folder = os::folderLength(songPath);
    folders.push_back(folder == 0 ? std::string(".") + os::kSeparator : songPath.substr(0, folder));
  }
  addList(folders, env("ZORVIK_BANK_PATH"), "");
  // The XDG data folders are a POSIX desktop's: Windows has its banks in
  // the song's folder, ZORVIK_BANK_PATH and instruments\ beside the program.
  if (!os::kWindowsPaths) addXdgFolders(folders);
  folders.push_back(programFolder + "instruments" + os::kSeparator);
  return folders;
}

FoundBank findBank(const std::vector<std::string>& folders, std::string_view bankName) {
  std::optional<BankFile> found = findBankFile(folders, bankName);
  if (!found) {
    throw Error("bank " + showText(bankName, TextStyle::Escaped) +
                " not found, nor default.zvi, in the song's folder, ZORVIK_BANK_PATH, the XDG "
                "data folders or instruments/ beside zorvik: give one with --bank");
  }
  try {
    return FoundBank{loadSampleBankFile(found->path), found->path, found->isDefault};
  } catch (const ReadError& e) {
    throw cannotRead(found->path, e.error());
  } catch (const Error& e) {
    throw Error(shownName(found->path) + ": " + e.what());
  }
}

FoundBank songBank(const std::string& songPath, const Song& song,
                   const std::optional<std::string>& bankFile, const std::string& programFolder) {
  if (bankFile) return {loadBankInput(*bankFile), *bankFile, false};
  return findBank(bankFolders(songPath, programFolder), textOf(song.bankName));
}

}  // namespace zorvik::tool
