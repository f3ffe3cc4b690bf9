#include "tools/play/deck.hpp"

#include "platform/os.hpp"
#include "tools/bank_search.hpp"
#include "tools/input.hpp"

namespace zorvik::play {

namespace {

// A relative path made absolute from the folder the program started in: a
// song whose folder is removed and made again is found again, whatever
// became of the current folder.
std::string lasting(const std::string& path) {
  if (path == "-" || path.empty() || os::isAbsolute(path)) return path;
  std::string cwd = os::currentFolder();
  if (cwd.empty()) return path;
  return cwd + os::kSeparator + path;
}

}  // namespace

std::optional<FileStamp> stampOf(const std::string& path) {
  if (path == "-") return std::nullopt;
  auto status = os::statusOf(path);
  if (!status) return std::nullopt;
  return FileStamp{status->device, status->id, static_cast<long long>(status->size),
                   status->modifiedNs};
}

BankLookup lookUpBank(const std::string& songFile, const Song& song, const BankChoice& bank) {
  if (bank.file) return {*bank.file, false, stampOf(*bank.file)};
  auto found = findBankFile(tool::bankFolders(songFile, bank.programFolder), textOf(song.bankName));
  if (!found) return {};
  return {found->path, found->isDefault, stampOf(found->path)};
}

std::shared_ptr<const Deck> loadDeck(int index, const std::string& songPath, const BankChoice& bank,
                                     const Deck* previous) {
  auto deck = std::make_shared<Deck>();
  deck->index = index;
  deck->songPath = songPath;
  deck->songFile = previous != nullptr ? previous->songFile : lasting(songPath);
  deck->songStamp = stampOf(deck->songFile);
  // By the name given, as messages name it, while that still leads to it.
  deck->song =
      tool::loadSongInput(previous == nullptr || stampOf(songPath) ? songPath : deck->songFile);
  if (previous != nullptr) {
    BankLookup now = lookUpBank(deck->songFile, deck->song, bank);
    if (now.path == previous->bankPath && now.stamp && now.stamp == previous->bankStamp) {
      deck->bank = previous->bank;
      deck->bankPath = previous->bankPath;
      deck->bankStamp = previous->bankStamp;
      deck->missingBank = now.isDefault ? std::string(textOf(deck->song.bankName)) : "";
    }
  }
  if (!deck->bank) {
    tool::FoundBank found =
        tool::songBank(deck->songFile, deck->song, bank.file, bank.programFolder);
    deck->bankStamp = stampOf(found.path);
    deck->bankPath = found.path;
    if (found.isDefault) deck->missingBank = textOf(deck->song.bankName);
    deck->bank = std::make_shared<const SampleBank>(std::move(found.bank));
  }
  deck->pages = buildRollPages(deck->song);
  return deck;
}

}  // namespace zorvik::play
