// The sample bank: 16 signed 16-bit mono samples at 32004 Hz, found through
// descriptors in a 329-byte header, and its loader.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "formats/bytes.hpp"
#include "formats/cell.hpp"
#include "formats/source.hpp"
#include "formats/text_field.hpp"

namespace zorvik {

inline constexpr std::uint32_t kBankMagic = 0x696B767A;  // "zvki"
inline constexpr std::uint32_t kSampleRate = 32004;      // of every sample and of the output
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

// Where things sit in a bank file.
inline constexpr std::size_t kBankReservedOffset =
    kBankHeadSize + offsetof(SampleBankHeader, reserved);  // 71
inline constexpr std::size_t kDescriptorsOffset =
    kBankHeadSize + offsetof(SampleBankHeader, descriptors);  // 80
static_assert(kBankReservedOffset == 71 && kDescriptorsOffset == 80);
enum class DescriptorField { ByteLength = 0, BitsPerSample = 1, SampleRate = 2, DataOffset = 3 };
inline constexpr std::size_t descriptorOffset(int k, DescriptorField field) {
  return kDescriptorsOffset + kDescriptorSize * static_cast<std::size_t>(k) +
         4 * static_cast<std::size_t>(field);
}

// A sample's values, read in place from the bank's storage: signed 16-bit
// little-endian, at whatever alignment the file put them.
class SampleData {
 public:
  SampleData() = default;
  explicit SampleData(const std::uint8_t* bytes) : bytes_(bytes) {}
  std::int16_t operator[](std::size_t i) const {
    if constexpr (std::endian::native == std::endian::little) {
      std::int16_t value;  // one unaligned load: the mixers' inner loop
      std::memcpy(&value, bytes_ + 2 * i, sizeof value);
      return value;
    } else {
      return static_cast<std::int16_t>(readLe16(bytes_ + 2 * i));
    }
  }
  const std::uint8_t* bytes() const { return bytes_; }

 private:
  const std::uint8_t* bytes_ = nullptr;
};

struct Sample {
  SampleData data;
  std::uint32_t length = 0;  // number of values in data

  std::vector<std::int16_t> values() const;  // a copy of all of them
};

// A loaded bank. Its samples view its storage, which holds each byte of the
// file that some sample covers, once: samples that repeat or overlap share
// it. A bank therefore moves but is not copied.
struct SampleBank {
  std::vector<Sample> samples;  // exactly kBankSamples once loaded
  SampleBankHeader header{};
  std::vector<std::uint8_t> storage;

  SampleBank() = default;
  SampleBank(SampleBank&&) noexcept = default;
  SampleBank& operator=(SampleBank&&) noexcept = default;
  SampleBank(const SampleBank&) = delete;
  SampleBank& operator=(const SampleBank&) = delete;
};

// Reads a bank from a byte source. Throws LoadError with the format's message.
//
// A block that runs past the end of the source keeps only the values the
// source holds (a last value cut in half keeps its low byte): the missing
// tail would be zeros, and a voice that runs out of values is silent too, so
// what plays is the same while storage never exceeds what the source holds.
SampleBank readSampleBank(const Source& source);

// Whether a bank name found in a song stays inside the folder it is looked
// up in: not absolute, and no ".." among its parts. Sub-folders are fine.
// With Windows' rules '\' separates too, and a name with a ':' (a drive,
// a stream) or a part of dots that Windows reads as ".." ("...", ".. ") is
// refused as well. The one-argument form follows this system's rules.
bool staysInFolder(std::string_view bankName, bool windowsPaths);
bool staysInFolder(std::string_view bankName);

// The one rule for finding the bank a song names: the first of the folders
// (each ending in "/") holding the name as a regular file, or, when none
// does (or the name is empty or would leave the folder), the first holding
// default.zvi; nothing when neither is anywhere.
struct BankFile {
  std::string path;
  bool isDefault = false;  // the named bank is nowhere: the default bank
};
std::optional<BankFile> findBankFile(std::span<const std::string> folders,
                                     std::string_view bankName);

// The bank as the player finds it, in its one folder (findBankFile), with
// "error loading file" when neither file is there.
SampleBank loadSampleBank(const std::string& directory, const std::string& fileName);

// Opens exactly this file, with no fallback.
SampleBank loadSampleBankFile(const std::string& path);

// The most values one sample can hold: its byteLength is a 32-bit field.
inline constexpr std::uint64_t kMaxSampleValues = 0xFFFFFFFFu / 2;

// Throws Error when samples of these lengths, in values and bank order (the
// first k of a bank being built), cannot share one bank file: a byteLength
// or dataOffset would not fit in 32 bits.
void checkBankLayout(std::span<const std::uint64_t> lengths);

// The bytes of a bank file holding these 16 samples, stored one after the
// other after the header, in order. Throws Error when they do not fit the
// format's 32-bit lengths and offsets.
std::vector<std::uint8_t> sampleBankFileBytes(
    const TextField& name, const TextField& author,
    const std::array<std::vector<std::int16_t>, kBankSamples>& samples);

}  // namespace zorvik
