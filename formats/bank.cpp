#include "formats/bank.hpp"

#include <algorithm>
#include <cstring>

#include "formats/error.hpp"

namespace zorvik {

SampleDescriptor SampleBankHeader::descriptor(int k) const {
  const std::uint8_t* p = descriptors.data() + k * kDescriptorSize;
  return {readLe32(p), readLe32(p + 4), readLe32(p + 8), readLe32(p + 12)};
}

void SampleBankHeader::setDescriptor(int k, const SampleDescriptor& d) {
  std::uint8_t* p = descriptors.data() + k * kDescriptorSize;
  writeLe32(p, d.byteLength);
  writeLe32(p + 4, d.bitsPerSample);
  writeLe32(p + 8, d.sampleRate);
  writeLe32(p + 12, d.dataOffset);
}

std::vector<std::int16_t> Sample::values() const {
  std::vector<std::int16_t> out(length);
  for (std::uint32_t i = 0; i < length; ++i) out[i] = data[i];
  return out;
}

namespace {

// The file bytes a sample covers: its block, cut at the end of the source,
// with a last value cut in half kept whole (its missing high byte reads 0).
struct Range {
  std::uint64_t begin;
  std::uint64_t end;
};

Range rangeOf(const SampleDescriptor& d, std::uint64_t sourceSize) {
  std::uint64_t wanted = d.byteLength >> 1;
  std::uint64_t available = d.dataOffset < sourceSize ? (sourceSize - d.dataOffset + 1) / 2 : 0;
  return {d.dataOffset, d.dataOffset + 2 * std::min(wanted, available)};
}

// Reads the union of the samples' ranges once into the bank's storage and
// points each sample at its values there.
void readSamples(const Source& source, SampleBank& bank) {
  std::array<Range, kBankSamples> ranges{};
  for (int k = 0; k < kBankSamples; ++k) {
    ranges[k] = rangeOf(bank.header.descriptor(k), source.size());
  }
  std::array<Range, kBankSamples> sorted = ranges;
  std::sort(sorted.begin(), sorted.end(),
            [](const Range& a, const Range& b) { return a.begin < b.begin; });
  std::vector<Range> merged;
  for (const Range& r : sorted) {
    if (r.begin == r.end) continue;
    if (!merged.empty() && r.begin <= merged.back().end) {
      merged.back().end = std::max(merged.back().end, r.end);
    } else {
      merged.push_back(r);
    }
  }
  std::uint64_t total = 0;
  for (const Range& r : merged) total += r.end - r.begin;
  bank.storage.resize(static_cast<std::size_t>(total));

  std::vector<std::uint64_t> storedAt;  // where each merged range starts in storage
  std::uint64_t at = 0;
  for (const Range& r : merged) {
    storedAt.push_back(at);
    source.readZeroFilled(r.begin, bank.storage.data() + at,
                          static_cast<std::size_t>(r.end - r.begin));
    at += r.end - r.begin;
  }

  bank.samples.resize(kBankSamples);
  for (int k = 0; k < kBankSamples; ++k) {
    const Range& r = ranges[k];
    Sample& sample = bank.samples[k];
    sample.length = static_cast<std::uint32_t>((r.end - r.begin) / 2);
    if (sample.length == 0) continue;
    auto m = std::upper_bound(
                 merged.begin(), merged.end(), r.begin,
                 [](std::uint64_t offset, const Range& range) { return offset < range.begin; }) -
             1;
    std::uint64_t offset =
        storedAt[static_cast<std::size_t>(m - merged.begin())] + r.begin - m->begin;
    sample.data = SampleData(bank.storage.data() + offset);
  }
}

}  // namespace

SampleBank readSampleBank(const Source& source) {
  std::uint8_t head[kBankHeadSize];
  source.readZeroFilled(0, head, sizeof head);
  if (readLe32(head) != kBankMagic) throw LoadError("not a valid .zvi file");
  if (head[6] != 0) throw LoadError("no compression supported yet");
  std::uint16_t version = readLe16(head + 4);
  if (version == 0) throw LoadError("not a valid version number");
  if (version != 1) {
    throw LoadError("too new version of the format, this version only suports fileformat v1 max");
  }

  SampleBank bank;
  std::uint8_t raw[sizeof(SampleBankHeader)];
  source.readZeroFilled(kBankHeadSize, raw, sizeof raw);
  std::memcpy(&bank.header, raw, sizeof raw);

  // The descriptors are tested in order and the first bad one decides the
  // message; reading a sample has no effect that a failure could show, so
  // the samples are read once all sixteen have passed.
  for (int k = 0; k < kBankSamples; ++k) {
    SampleDescriptor d = bank.header.descriptor(k);
    if (d.bitsPerSample != 16) throw LoadError("only 16 bit samples supported at the moment");
    if (d.sampleRate != kSampleRate) throw LoadError("only 32khz samples supported atm");
  }
  readSamples(source, bank);
  return bank;
}

bool staysInFolder(std::string_view name, bool windowsPaths) {
  const std::string_view separators = windowsPaths ? "/\\" : "/";
  if (!name.empty() && separators.find(name.front()) != std::string_view::npos) return false;
  if (windowsPaths && name.find(':') != std::string_view::npos) return false;
  while (!name.empty()) {
    std::size_t slash = std::min(name.find_first_of(separators), name.size());
    std::string_view part = name.substr(0, slash);
    if (part == "..") return false;
    // Windows drops the dots and spaces that end a name: "..." and ".. "
    // lead up as ".." does.
    if (windowsPaths && part.find_first_not_of(". ") == std::string_view::npos &&
        std::count(part.begin(), part.end(), '.') >= 2) {
      return false;
    }
    name.remove_prefix(std::min(slash + 1, name.size()));
  }
  return true;
}

bool staysInFolder(std::string_view name) { return staysInFolder(name, kWindowsPaths); }

std::optional<BankFile> findBankFile(std::span<const std::string> folders,
                                     std::string_view bankName) {
  for (std::string_view name : {bankName, std::string_view("default.zvi")}) {
    if (name.empty() || !staysInFolder(name)) continue;
    for (const std::string& folder : folders) {
      std::string path = folder + std::string(name);
      if (FileSource::open(path)) return BankFile{path, name.data() != bankName.data()};
    }
  }
  return std::nullopt;
}

SampleBank loadSampleBank(const std::string& directory, const std::string& fileName) {
  auto found = findBankFile(std::span(&directory, 1), fileName);
  if (!found) throw LoadError("error loading file");
  return loadSampleBankFile(found->path);
}

SampleBank loadSampleBankFile(const std::string& path) {
  auto file = FileSource::open(path);
  if (!file) throw LoadError("error loading file");
  return readSampleBank(*file);
}

void checkBankLayout(std::span<const std::uint64_t> lengths) {
  std::uint64_t offset = kBankDataStart;
  for (std::size_t k = 0; k < lengths.size(); ++k) {
    if (lengths[k] > kMaxSampleValues) {
      throw Error("sample " + std::to_string(k) + " has " + std::to_string(lengths[k]) +
                  " values, more than a bank sample holds (" + std::to_string(kMaxSampleValues) +
                  ")");
    }
    if (offset > 0xFFFFFFFFu) {
      throw Error("the samples are too long together: sample " + std::to_string(k) +
                  " would start past the 4 GiB a bank can address");
    }
    offset += 2 * lengths[k];
  }
}

std::vector<std::uint8_t> sampleBankFileBytes(
    const TextField& name, const TextField& author,
    const std::array<std::vector<std::int16_t>, kBankSamples>& samples) {
  std::array<std::uint64_t, kBankSamples> lengths{};
  std::uint64_t total = kBankDataStart;
  for (int k = 0; k < kBankSamples; ++k) {
    lengths[k] = samples[k].size();
    total += 2 * lengths[k];
  }
  checkBankLayout(lengths);

  SampleBankHeader header{};
  header.name = name;
  header.author = author;
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(total));
  writeLe32(bytes.data(), kBankMagic);
  writeLe16(bytes.data() + 4, 1);
  std::size_t offset = kBankDataStart;
  for (int k = 0; k < kBankSamples; ++k) {
    const auto& values = samples[k];
    header.setDescriptor(k, {static_cast<std::uint32_t>(2 * values.size()), 16, kSampleRate,
                             static_cast<std::uint32_t>(offset)});
    for (std::int16_t v : values) {
      writeLe16(bytes.data() + offset, static_cast<std::uint16_t>(v));
      offset += 2;
    }
  }
  std::memcpy(bytes.data() + kBankHeadSize, &header, sizeof header);
  return bytes;
}

}  // namespace zorvik
