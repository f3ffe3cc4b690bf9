#include "testing/fixtures.hpp"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "engine/mixer.hpp"
#include "formats/bytes.hpp"

namespace zorvik::fixtures {

Song emptySong(std::uint8_t tempo, std::string_view title, std::string_view author,
               std::string_view bankName) {
  Song song{};
  song.title = makeTextField(title);
  song.author = makeTextField(author);
  song.bankName = makeTextField(bankName);
  for (auto& step : song.cells) step.fill(kNoNote);
  song.tempo = tempo;
  return song;
}

std::vector<std::uint8_t> songFile(std::uint16_t version, std::span<const std::uint8_t> body,
                                   std::uint8_t compression, std::uint32_t magic) {
  std::vector<std::uint8_t> bytes(kSongHeadSize + body.size());
  writeLe32(bytes.data(), magic);
  writeLe16(bytes.data() + 4, version);
  bytes[6] = compression;
  if (!body.empty()) std::memcpy(bytes.data() + kSongHeadSize, body.data(), body.size());
  return bytes;
}

std::vector<std::uint8_t> songFile(const Song& song) {
  auto bytes = songFileBytes(song);
  return {bytes.begin(), bytes.end()};
}

std::vector<std::uint8_t> songFileV1(const SongV1& song) {
  std::uint8_t body[sizeof song];
  std::memcpy(body, &song, sizeof song);
  return songFile(1, body);
}

SampleSet countingSamples(std::size_t length) {
  SampleSet samples;
  for (int k = 0; k < kBankSamples; ++k) {
    for (std::size_t i = 0; i < length; ++i) {
      samples[k].push_back(static_cast<std::int16_t>(k * 100 + static_cast<int>(i)));
    }
  }
  return samples;
}

std::vector<std::uint8_t> bankFile(const SampleSet& samples, std::string_view name,
                                   std::string_view author) {
  return sampleBankFileBytes(makeTextField(name), makeTextField(author), samples);
}

OwnedSample::OwnedSample(const std::vector<std::int16_t>& values) : bytes(2 * values.size()) {
  for (std::size_t i = 0; i < values.size(); ++i) {
    writeLe16(bytes.data() + 2 * i, static_cast<std::uint16_t>(values[i]));
  }
  sample.data = SampleData(bytes.data());
  sample.length = static_cast<std::uint32_t>(values.size());
}

SampleBank makeBank(const SampleSet& samples) {
  return readSampleBank(MemorySource(bankFile(samples)));
}

static_assert(kAllChannels == 0b111, "streamOf's default hears every channel");

std::vector<std::int16_t> streamOf(const Song& song, const SampleSet& samples, std::size_t n,
                                   unsigned heard, std::size_t skip) {
  SampleBank bank = makeBank(samples);
  Player player(song.tempo, song, bank);
  for (std::size_t i = 0; i < skip; ++i) nextSample(player);
  std::vector<std::int16_t> out(n);
  for (auto& v : out) v = nextSample(player, heard);
  return out;
}

Song randomSong(std::mt19937& rng) {
  Song song = emptySong(static_cast<std::uint8_t>(rng()));
  std::uniform_int_distribution<int> kind(0, 9);
  for (auto& step : song.cells) {
    for (auto& cell : step) {
      switch (kind(rng)) {
        case 0:
        case 1:
        case 2:
        case 3:
          break;  // empty
        case 4:
          cell = {255, 222};  // empty too, to the engine
          break;
        case 5:
          cell = {static_cast<std::uint8_t>(rng()), static_cast<std::uint8_t>(rng())};
          break;
        default:
          cell = {static_cast<std::uint8_t>(rng() % 16), static_cast<std::uint8_t>(rng() % 15)};
      }
    }
  }
  return song;
}

SampleSet randomSamples(std::mt19937& rng, std::size_t maxLength) {
  SampleSet samples;
  std::uniform_int_distribution<int> value(-32768, 32767);
  for (auto& s : samples) {
    s.resize(rng() % 8 == 0 ? rng() % 3 : rng() % (maxLength + 1));
    for (auto& v : s) v = static_cast<std::int16_t>(value(rng));
  }
  return samples;
}

SampleBank randomBank(std::mt19937& rng, std::size_t maxLength) {
  return makeBank(randomSamples(rng, maxLength));
}

void writeFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::vector<std::uint8_t> readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string readText(const std::filesystem::path& path) {
  std::vector<std::uint8_t> bytes = readFile(path);
  return {bytes.begin(), bytes.end()};
}

std::vector<std::string> namesIn(const std::filesystem::path& dir) {
  std::vector<std::string> out;
  for (const auto& e : std::filesystem::directory_iterator(dir)) {
    out.push_back(e.path().filename().string());
  }
  std::sort(out.begin(), out.end());
  return out;
}

std::vector<std::int16_t> readRecording(const std::filesystem::path& path) {
  std::vector<std::uint8_t> bytes = readFile(path);
  std::vector<std::int16_t> samples(bytes.size() / 2);
  for (std::size_t i = 0; i < samples.size(); ++i) {
    samples[i] = static_cast<std::int16_t>(readLe16(bytes.data() + 2 * i));
  }
  return samples;
}

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "zorvik-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

}  // namespace zorvik::fixtures
