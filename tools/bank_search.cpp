#include "tools/bank_search.hpp"

#include <cstdlib>
#include <optional>

#include "display/safe_text.hpp"
#include "formats/error.hpp"
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
    std::size_t end = std::min(list.find(':', start), list.size());
    std::string folder = list.substr(start, end - start);
    // Empty entries and relative ones (which XDG says to ignore) are skipped.
    if (!folder.empty() && folder.front() == '/') {
      if (folder.back() != '/') folder += '/';
      folders.push_back(folder + under);
    }
    start = end + 1;
  }
}

}  // namespace

std::vector<std::string> bankFolders(const std::string& songPath,
                                     const std::string& programFolder) {
  std::vector<std::string> folders;
  if (songPath != "-") {
    auto slash = songPath.rfind('/');
    folders.push_back(slash == std::string::npos ? "./" : songPath.substr(0, slash + 1));
  }
  addList(folders, env("ZORVIK_BANK_PATH"), "");
  std::string dataHome = env("XDG_DATA_HOME");
  if (dataHome.empty() || dataHome.front() != '/') {
    std::string home = env("HOME");
    if (!home.empty()) dataHome = home + "/.local/share";
  }
  if (!dataHome.empty()) addList(folders, dataHome, "zorvik/instruments/");
  std::string dataDirs = env("XDG_DATA_DIRS");
  addList(folders, dataDirs.empty() ? "/usr/local/share/:/usr/share/" : dataDirs,
          "zorvik/instruments/");
  folders.push_back(programFolder + "instruments/");
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
