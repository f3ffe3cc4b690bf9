// Writes the fuzz targets' seed inputs: songs, banks and song texts built
// with the test fixtures, plus any song (.zvo), bank (.zvi) or song text
// (.txt) files named on the command line.
//
//   make_seeds OUT [FILE...]
//
// Each target's seeds go to OUT/<target>/, one file per seed, named after
// a hash of its bytes so that running it twice writes the same files.

#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "formats/bank.hpp"
#include "formats/bytes.hpp"
#include "formats/song.hpp"
#include "formats/song_text.hpp"
#include "testing/fixtures.hpp"

namespace fs = std::filesystem;
using namespace zorvik;
using Bytes = std::vector<std::uint8_t>;

namespace {

fs::path outRoot;

std::uint64_t fnv1a(std::span<const std::uint8_t> bytes) {
  std::uint64_t h = 0xcbf29ce484222325u;
  for (std::uint8_t b : bytes) h = (h ^ b) * 0x100000001b3u;
  return h;
}

void seed(const char* target, std::span<const std::uint8_t> bytes) {
  fs::path dir = outRoot / target;
  fs::create_directories(dir);
  char name[32];
  std::snprintf(name, sizeof name, "seed-%016llx", static_cast<unsigned long long>(fnv1a(bytes)));
  fixtures::writeFile(dir / name, bytes);
}

void seedText(const char* target, const std::string& text) {
  seed(target, {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
}

// A bank's reserved header bytes steer the pipeline target (see
// pipeline_fuzz.cpp): tempo override, start step, lead, length, blocks.
Bytes steered(Bytes bank, std::array<std::uint8_t, 9> reserved) {
  if (bank.size() >= kBankReservedOffset + reserved.size()) {
    std::copy(reserved.begin(), reserved.end(), bank.begin() + kBankReservedOffset);
  }
  return bank;
}

Bytes concat(std::span<const std::uint8_t> song, std::span<const std::uint8_t> bank) {
  Bytes out(song.begin(), song.end());
  out.resize(kSongV2FileSize, 0);  // the pipeline target's song part is 680 bytes
  out.insert(out.end(), bank.begin(), bank.end());
  return out;
}

// Descriptor k's field in a bank file.
void setDescriptorField(Bytes& bank, int k, DescriptorField field, std::uint32_t value) {
  writeLe32(bank.data() + descriptorOffset(k, field), value);
}

Bytes readAll(const fs::path& path) { return fixtures::readFile(path); }

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: make_seeds OUT [FILE.zvo|FILE.zvi|FILE.txt...]\n";
    return 2;
  }
  outRoot = argv[1];
  std::mt19937 rng(20240601);

  // Songs: empty, busy, random, both versions, and heads the loader rejects.
  std::vector<Song> songs = {fixtures::emptySong(0), fixtures::emptySong(255, "Title", "Author"),
                             fixtures::emptySong(100, "A", "B", "drums.zvi")};
  Song busy = fixtures::emptySong(200, "Busy", "Fixtures");
  for (int step = 0; step < kSteps; ++step) {
    for (int k = 0; k < kChannels; ++k) {
      busy.cells[step][k] = {static_cast<std::uint8_t>((step + k) % 16),
                             static_cast<std::uint8_t>((step * 3 + k) % 15)};
    }
  }
  songs.push_back(busy);
  for (int i = 0; i < 4; ++i) songs.push_back(fixtures::randomSong(rng));
  for (const Song& song : songs) seed("song_loader_fuzz", fixtures::songFile(song));
  SongV1 v1{};
  v1.title = makeTextField("Old");
  v1.cells = busy.cells;
  v1.tempo = 50;
  seed("song_loader_fuzz", fixtures::songFileV1(v1));
  const Bytes body(sizeof(Song), 0);
  seed("song_loader_fuzz", fixtures::songFile(3, body));
  seed("song_loader_fuzz", fixtures::songFile(2, body, 1));
  seed("song_loader_fuzz", fixtures::songFile(0, {}));
  seed("song_loader_fuzz", fixtures::songFile(2, std::span(body).first(100)));

  // Banks: whole, empty samples, odd lengths, shared and reversed blocks,
  // blocks past the end, and descriptors the loader rejects.
  std::vector<Bytes> banks;
  banks.push_back(fixtures::bankFile(fixtures::countingSamples(0)));
  banks.push_back(fixtures::bankFile(fixtures::countingSamples(3)));
  banks.push_back(fixtures::bankFile(fixtures::countingSamples(40), "Counting", "Fixtures"));
  {
    fixtures::SampleSet mixed;
    for (int k = 0; k < kBankSamples; ++k) {
      mixed[k].resize(static_cast<std::size_t>(k % 4 == 0 ? 0 : 5 * k + 1));
      for (auto& v : mixed[k]) v = static_cast<std::int16_t>(rng());
    }
    Bytes b = fixtures::bankFile(mixed, "Mixed");
    banks.push_back(b);
    setDescriptorField(b, 1, DescriptorField::ByteLength, 7);  // odd length
    setDescriptorField(b, 2, DescriptorField::DataOffset,
                       static_cast<std::uint32_t>(kBankDataStart));     // shared block
    setDescriptorField(b, 3, DescriptorField::ByteLength, 0xFFFFFFFE);  // runs past the end
    setDescriptorField(b, 4, DescriptorField::DataOffset,
                       static_cast<std::uint32_t>(b.size() - 1));       // half a value left
    setDescriptorField(b, 5, DescriptorField::DataOffset, 0xFFFFFFF0);  // wholly past the end
    banks.push_back(b);
    Bytes bits = b;
    setDescriptorField(bits, 9, DescriptorField::BitsPerSample, 8);
    seed("bank_loader_fuzz", bits);
    Bytes rate = b;
    setDescriptorField(rate, 15, DescriptorField::SampleRate, 44100);
    seed("bank_loader_fuzz", rate);
  }
  for (const Bytes& b : banks) seed("bank_loader_fuzz", b);
  seed("bank_loader_fuzz", std::span(banks[1]).first(200));

  // The pipeline: songs with banks, at the song's tempo and at forced ones,
  // from several steps, some just before a step ends.
  for (std::size_t i = 0; i < songs.size(); ++i) {
    const auto song = fixtures::songFile(songs[i]);
    const Bytes& bank = banks[i % banks.size()];
    seed("pipeline_fuzz", concat(song, bank));
    seed("pipeline_fuzz", concat(song, steered(bank, {1, 255, 47, 0x00, 0x02, 0xFF, 0x0F, 0, 0})));
    seed("pipeline_fuzz", concat(song, steered(bank, {1, 0, 95, 0x10, 0x00, 0x00, 0x10, 1, 0})));
    seed("pipeline_fuzz", concat(song, steered(bank, {0, 0, 10, 0xFF, 0x0F, 0x80, 0x00, 2, 0})));
    seed("pipeline_fuzz",
         concat(song, steered(bank, {1, static_cast<std::uint8_t>(rng()),
                                     static_cast<std::uint8_t>(rng()), 3, 0, 0xFF, 0x0F, 7, 0})));
  }

  seed("pipeline_fuzz", concat(fixtures::songFileV1(v1), banks[3]));

  for (const Song& song : songs) seedText("song_text_fuzz", decompileSong(song));

  // The API's input: the song's length in 8-byte steps, the song, the bank.
  auto apiInput = [](Bytes song, const Bytes& bank) {
    song.resize((song.size() + 7) / 8 * 8, '\n');  // a text ends in blank lines
    Bytes out{static_cast<std::uint8_t>(song.size() / 8)};
    out.insert(out.end(), song.begin(), song.end());
    out.insert(out.end(), bank.begin(), bank.end());
    return out;
  };
  for (std::size_t i = 0; i < songs.size(); ++i) {
    const Bytes& bank = banks[i % banks.size()];
    seed("api_fuzz", apiInput(fixtures::songFile(songs[i]), bank));
    std::string text = decompileSong(songs[i], {true});
    if (text.size() <= 255 * 8) seed("api_fuzz", apiInput(Bytes(text.begin(), text.end()), bank));
  }

  // Files from a build and the source tree, by kind.
  for (int i = 2; i < argc; ++i) {
    const fs::path path = argv[i];
    const Bytes bytes = readAll(path);
    if (path.extension() == ".zvo") {
      seed("song_loader_fuzz", bytes);
      seed("pipeline_fuzz", concat(bytes, banks[2]));
    } else if (path.extension() == ".zvi") {
      seed("bank_loader_fuzz", bytes);
      seed("pipeline_fuzz", concat(fixtures::songFile(busy), bytes));
    } else if (path.extension() == ".txt") {
      seed("song_text_fuzz", bytes);
    } else {
      std::cerr << "make_seeds: " << path.string() << ": not a .zvo, .zvi or .txt file\n";
      return 1;
    }
  }
  return 0;
}
