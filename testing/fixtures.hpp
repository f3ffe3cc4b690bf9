// Test helpers: songs and banks built in memory or written as files, so that
// every test makes its own fixtures.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "formats/bank.hpp"
#include "formats/song.hpp"

namespace zorvik::fixtures {

using SampleSet = std::array<std::vector<std::int16_t>, kBankSamples>;

// A song with every cell empty.
Song emptySong(std::uint8_t tempo = 100, std::string_view title = "", std::string_view author = "",
               std::string_view bankName = "default.zvi");

// A file head (magic, version, compression) followed by body.
std::vector<std::uint8_t> songFile(std::uint16_t version, std::span<const std::uint8_t> body,
                                   std::uint8_t compression = 0, std::uint32_t magic = kSongMagic);
std::vector<std::uint8_t> songFile(const Song& song);
std::vector<std::uint8_t> songFileV1(const SongV1& song);

// Sample k holds `length` values k*100, k*100+1, ...
SampleSet countingSamples(std::size_t length);

std::vector<std::uint8_t> bankFile(const SampleSet& samples, std::string_view name = "Bank",
                                   std::string_view author = "Tester");

// One sample over storage of its own, for voice tests.
struct OwnedSample {
  explicit OwnedSample(const std::vector<std::int16_t>& values);
  OwnedSample(const OwnedSample&) = delete;
  OwnedSample& operator=(const OwnedSample&) = delete;
  std::vector<std::uint8_t> bytes;
  Sample sample;
};

// A bank in memory, as the loader would make it.
SampleBank makeBank(const SampleSet& samples);

// The first n samples of a song's stream with a bank of these samples,
// one nextSample call each: what every faster or farther path must equal.
// `heard` masks channels (bit k: channel k+1) and the first `skip` samples
// are left out.
std::vector<std::int16_t> streamOf(const Song& song, const SampleSet& samples, std::size_t n,
                                   unsigned heard = 0b111, std::size_t skip = 0);

// Random songs and banks for property tests: cells are notes of every
// kind, including cells the bank or note table cannot play.
Song randomSong(std::mt19937& rng);
SampleBank randomBank(std::mt19937& rng, std::size_t maxLength = 3000);
// The samples of randomBank (which is makeBank(randomSamples(...))).
SampleSet randomSamples(std::mt19937& rng, std::size_t maxLength = 3000);

void writeFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes);
std::vector<std::uint8_t> readFile(const std::filesystem::path& path);
// A file's bytes as a string.
std::string readText(const std::filesystem::path& path);
// The names in a folder, sorted.
std::vector<std::string> namesIn(const std::filesystem::path& dir);
// A file of 16-bit little-endian samples, as the SDL stand-in records them.
std::vector<std::int16_t> readRecording(const std::filesystem::path& path);

// A fresh directory, removed with everything in it at the end of the test.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

}  // namespace zorvik::fixtures
