// readSampleBank on any bytes: it either throws LoadError or returns 16
// samples whose values are those of the file (zeros past its end), and
// whose storage is no larger than the file.

#include <cstdint>
#include <cstring>

#include "formats/bank.hpp"
#include "formats/error.hpp"
#include "fuzz/fuzz_check.hpp"

using namespace zorvik;

namespace {

// The byte at offset of the file, zero past its end.
std::uint8_t byteAt(const std::uint8_t* data, std::size_t size, std::uint64_t offset) {
  return offset < size ? data[offset] : 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  SampleBank bank;
  try {
    bank = readSampleBank(MemorySource({data, size}));
  } catch (const LoadError&) {
    return 0;
  }

  FUZZ_CHECK(bank.samples.size() == static_cast<std::size_t>(kBankSamples));
  FUZZ_CHECK(size >= kBankHeadSize);  // the magic and version were there
  std::uint8_t header[sizeof(SampleBankHeader)] = {};
  if (size > kBankHeadSize) {
    std::memcpy(header, data + kBankHeadSize, std::min(size - kBankHeadSize, sizeof header));
  }
  FUZZ_CHECK(std::memcmp(&bank.header, header, sizeof header) == 0);

  for (int k = 0; k < kBankSamples; ++k) {
    const Sample& sample = bank.samples[k];
    const SampleDescriptor d = bank.header.descriptor(k);
    // No more values than the descriptor asks for, nor than the bytes from
    // its offset to the end of the file hold (a last odd byte is a value).
    FUZZ_CHECK(sample.length <= d.byteLength / 2);
    const std::uint64_t left = d.dataOffset < size ? size - d.dataOffset : 0;
    FUZZ_CHECK(sample.length <= (left + 1) / 2);
    // ...and no fewer: only the end of the file cuts a block short.
    FUZZ_CHECK(sample.length == d.byteLength / 2 || sample.length == (left + 1) / 2);
    for (std::uint32_t i = 0; i < sample.length; ++i) {
      const std::uint64_t at = std::uint64_t{d.dataOffset} + 2 * std::uint64_t{i};
      const auto expected =
          static_cast<std::int16_t>(byteAt(data, size, at) | (byteAt(data, size, at + 1) << 8));
      FUZZ_CHECK(sample.data[i] == expected);
    }
  }
  // Samples that repeat or overlap share storage: the bank holds at most the
  // file's bytes, and one more for a last value cut in half.
  FUZZ_CHECK(bank.storage.capacity() <= size + 1);
  return 0;
}
