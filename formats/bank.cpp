#include "formats/bank.hpp"

#include <algorithm>
#include <cstring>

#include "formats/bytes.hpp"
#include "formats/load_error.hpp"

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

namespace {

Sample readSample(const Source& source, const SampleDescriptor& d) {
  std::uint64_t wanted = d.byteLength >> 1;
  std::uint64_t available =
      d.dataOffset < source.size() ? (source.size() - d.dataOffset + 1) / 2 : 0;
  std::size_t count = static_cast<std::size_t>(std::min(wanted, available));

  // Read the block's bytes into the sample's own storage, then decode each
  // little-endian pair in place.
  Sample sample;
  sample.data.resize(count);
  auto* bytes = reinterpret_cast<std::uint8_t*>(sample.data.data());
  source.readZeroFilled(d.dataOffset, bytes, count * 2);
  for (std::size_t i = 0; i < count; ++i) {
    sample.data[i] = static_cast<std::int16_t>(readLe16(bytes + 2 * i));
  }
  sample.length = static_cast<std::uint32_t>(count);
  return sample;
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

  // Each descriptor is tested only when its turn comes, after the samples
  // before it have been read.
  bank.samples.reserve(kBankSamples);
  for (int k = 0; k < kBankSamples; ++k) {
    SampleDescriptor d = bank.header.descriptor(k);
    if (d.bitsPerSample != 16) throw LoadError("only 16 bit samples supported at the moment");
    if (d.sampleRate != kBankSampleRate) throw LoadError("only 32khz samples supported atm");
    bank.samples.push_back(readSample(source, d));
  }
  return bank;
}

SampleBank loadSampleBank(const std::string& directory, const std::string& fileName) {
  if (auto named = FileSource::open(directory + fileName)) return readSampleBank(*named);
  if (auto fallback = FileSource::open(directory + "default.zvi")) return readSampleBank(*fallback);
  throw LoadError("error loading file");
}

SampleBank loadSampleBankFile(const std::string& path) {
  auto file = FileSource::open(path);
  if (!file) throw LoadError("error loading file");
  return readSampleBank(*file);
}

}  // namespace zorvik

namespace zorvik {

std::vector<std::uint8_t> sampleBankFileBytes(
    const TextField& name, const TextField& author,
    const std::array<std::vector<std::int16_t>, kBankSamples>& samples) {
  SampleBankHeader header{};
  header.name = name;
  header.author = author;
  std::size_t total = kBankDataStart;
  for (const auto& s : samples) total += 2 * s.size();

  std::vector<std::uint8_t> bytes(total);
  writeLe32(bytes.data(), kBankMagic);
  writeLe16(bytes.data() + 4, 1);
  std::size_t offset = kBankDataStart;
  for (int k = 0; k < kBankSamples; ++k) {
    const auto& values = samples[k];
    header.setDescriptor(k, {static_cast<std::uint32_t>(2 * values.size()), 16, kBankSampleRate,
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
