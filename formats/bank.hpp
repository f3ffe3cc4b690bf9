// The sample bank: 16 signed 16-bit mono samples at 32004 Hz, found through
// descriptors in a 329-byte header, and its loader.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "formats/source.hpp"
#include "formats/text_field.hpp"

namespace zorvik {

inline constexpr int kBankSamples = 16;
inline constexpr std::uint32_t kBankMagic = 0x696B767A;  // "zvki"
inline constexpr std::uint32_t kBankSampleRate = 32004;
inline constexpr std::size_t kBankHeadSize = 7;
inline constexpr std::size_t kDescriptorSize = 16;

struct SampleDescriptor {
  std::uint32_t byteLength;
  std::uint32_t bitsPerSample;
  std::uint32_t sampleRate;
  std::uint32_t dataOffset;
};

// The header exactly as stored. The descriptors start at an odd offset, so
// they are kept as raw bytes and decoded by descriptor().
struct SampleBankHeader {
  TextField name;
  TextField author;
  std::array<std::uint8_t, 9> reserved;
  std::array<std::uint8_t, kBankSamples * kDescriptorSize> descriptors;

  SampleDescriptor descriptor(int k) const;
  void setDescriptor(int k, const SampleDescriptor& d);
};

static_assert(sizeof(SampleBankHeader) == 329);
inline constexpr std::size_t kBankDataStart = kBankHeadSize + sizeof(SampleBankHeader);  // 336

struct Sample {
  std::vector<std::int16_t> data;
  std::uint32_t length = 0;  // number of values in data
};

struct SampleBank {
  std::vector<Sample> samples;  // exactly kBankSamples once loaded
  SampleBankHeader header;
};

// Reads a bank from a byte source. Throws LoadError with the format's message.
//
// A block that runs past the end of the source keeps only the values the
// source holds (a last value cut in half keeps its low byte): the missing
// tail would be zeros, and a voice that runs out of values is silent too, so
// what plays is the same while storage never exceeds what the source fills.
SampleBank readSampleBank(const Source& source);

// Opens directory + fileName, or directory + "default.zvi" when that cannot
// be opened; "error loading file" when neither opens. directory ends in "/".
SampleBank loadSampleBank(const std::string& directory, const std::string& fileName);

// Opens exactly this file, with no fallback.
SampleBank loadSampleBankFile(const std::string& path);

}  // namespace zorvik

namespace zorvik {

// The bytes of a bank file holding these 16 samples, stored one after the
// other after the header, in order.
std::vector<std::uint8_t> sampleBankFileBytes(
    const TextField& name, const TextField& author,
    const std::array<std::vector<std::int16_t>, kBankSamples>& samples);

}  // namespace zorvik
