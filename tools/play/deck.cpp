#include "tools/play/deck.hpp"

#include <sys/stat.h>

#include "tools/bank_search.hpp"
#include "tools/input.hpp"

namespace zorvik::play {

std::optional<FileStamp> stampOf(const std::string& path) {
  struct stat st {};
  if (path == "-" || ::stat(path.c_str(), &st) != 0) return std::nullopt;
  return FileStamp{st.st_dev, st.st_ino, st.st_size,
                   static_cast<long long>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec};
}

std::shared_ptr<const Deck> loadDeck(int index, const std::string& songPath,
                                     const BankChoice& bank) {
  auto deck = std::make_shared<Deck>();
  deck->index = index;
  deck->songPath = songPath;
  deck->songStamp = stampOf(songPath);
  deck->song = tool::loadSongInput(songPath);
  tool::FoundBank found = tool::songBank(songPath, deck->song, bank.file, bank.programFolder);
  deck->bank = std::move(found.bank);
  deck->bankPath = found.path;
  if (found.isDefault) deck->missingBank = textOf(deck->song.bankName);
  deck->bankStamp = stampOf(deck->bankPath);
  deck->pages = buildRollPages(deck->song);
  return deck;
}

}  // namespace zorvik::play
