// Where zorvik looks for a song's bank, in which order, and what it refuses
// to look up.

#include "tools/bank_search.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "formats/error.hpp"
#include "testing/fixtures.hpp"

namespace zorvik::tool {
namespace {

namespace fs = std::filesystem;

// Sets environment variables for the life of the object.
class Environment {
 public:
  Environment(std::initializer_list<std::pair<const char*, const char*>> values) {
    for (auto [name, value] : values) {
      const char* old = std::getenv(name);
      saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
      if (value) {
        ::setenv(name, value, 1);
      } else {
        ::unsetenv(name);
      }
    }
  }
  ~Environment() {
    for (const auto& [name, value] : saved_) {
      if (value) {
        ::setenv(name.c_str(), value->c_str(), 1);
      } else {
        ::unsetenv(name.c_str());
      }
    }
  }

 private:
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST(BankSearch, FoldersInOrder) {
  struct Case {
    const char* what;
    std::string song;
    const char* bankPath;
    const char* dataHome;
    const char* dataDirs;
    const char* home;
    std::vector<std::string> folders;
  } cases[] = {
      {"all set",
       "songs/a.zvo",
       "/b1:/b2/",
       "/data",
       "/usr/local/share:/usr/share",
       "/home/u",
       {"songs/", "/b1/", "/b2/", "/data/zorvik/instruments/",
        "/usr/local/share/zorvik/instruments/", "/usr/share/zorvik/instruments/",
        "/prog/instruments/"}},
      {"defaults",
       "a.zvo",
       nullptr,
       nullptr,
       nullptr,
       "/home/u",
       {"./", "/home/u/.local/share/zorvik/instruments/", "/usr/local/share/zorvik/instruments/",
        "/usr/share/zorvik/instruments/", "/prog/instruments/"}},
      {"standard input has no folder; relative and empty entries are skipped",
       "-",
       "relative::/abs",
       "not/absolute",
       "::/d",
       nullptr,
       {"/abs/", "/d/zorvik/instruments/", "/prog/instruments/"}},
  };
  for (const auto& c : cases) {
    Environment env({{"ZORVIK_BANK_PATH", c.bankPath},
                     {"XDG_DATA_HOME", c.dataHome},
                     {"XDG_DATA_DIRS", c.dataDirs},
                     {"HOME", c.home}});
    EXPECT_EQ(bankFolders(c.song, "/prog/"), c.folders) << c.what;
  }
}

TEST(BankSearch, TheFirstFolderHoldingTheNameWinsElseTheDefault) {
  fixtures::TempDir dir;
  auto bank = [&](const char* path, const char* name) {
    fs::create_directories((dir / path).parent_path());
    fixtures::writeFile(dir / path, fixtures::bankFile(fixtures::countingSamples(1), name));
  };
  bank("one/drums.zvi", "Drums one");
  bank("two/drums.zvi", "Drums two");
  bank("two/sub/keys.zvi", "Keys");
  bank("two/default.zvi", "Default two");
  bank("three/default.zvi", "Default three");
  bank("outside.zvi", "Outside");
  fs::create_directories(dir / "one" / "folder.zvi");
  const std::vector<std::string> folders = {
      (dir / "one").string() + "/", (dir / "two").string() + "/", (dir / "three").string() + "/"};
  struct Case {
    std::string name;
    const char* found;
    bool isDefault;
  } cases[] = {
      {"drums.zvi", "Drums one", false},
      {"sub/keys.zvi", "Keys", false},
      {"folder.zvi", "Default two", true},  // a folder is no bank
      {"missing.zvi", "Default two", true},
      {"", "Default two", true},
      {"../outside.zvi", "Default two", true},  // would leave the folder
      {(dir / "outside.zvi").string(), "Default two", true},
  };
  for (const auto& c : cases) {
    FoundBank found = findBank(folders, c.name);
    EXPECT_EQ(textOf(found.bank.header.name), c.found) << c.name;
    EXPECT_EQ(found.isDefault, c.isDefault) << c.name;
  }
  try {
    findBank({(dir / "one").string() + "/"}, "nothing\x1b.zvi");
    ADD_FAILURE();
  } catch (const Error& e) {
    EXPECT_EQ(std::string(e.what()).rfind("bank nothing\\x1b.zvi not found", 0), 0u) << e.what();
  }
}

}  // namespace
}  // namespace zorvik::tool
