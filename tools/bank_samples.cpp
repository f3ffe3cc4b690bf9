#include "tools/bank_samples.hpp"

#include <cmath>

#include "formats/bank.hpp"

namespace zorvik::tool {

std::string sampleInstrument(int k) {
  if (k < 12) return std::string(1, static_cast<char>('a' + k));
  if (k == 12) return "m low";
  if (k == 13) return "m high";
  return std::string(1, static_cast<char>('a' + k - 1));
}

std::string extractedFileName(int k) {
  std::string instrument = sampleInstrument(k);
  if (auto space = instrument.find(' '); space != std::string::npos) instrument[space] = '-';
  return (k < 10 ? "0" : "") + std::to_string(k) + "-" + instrument + ".wav";
}

BankValues toBankValues(std::span<const double> values) {
  BankValues out;
  out.values.reserve(values.size());
  for (double v : values) {
    double r = std::round(v);
    bool inRange = r >= -32768.0 && r <= 32767.0;  // false for NaN too
    if (!inRange) {
      ++out.clipped;
      r = std::isnan(r) ? 0.0 : r < 0.0 ? -32768.0 : 32767.0;
    }
    out.values.push_back(static_cast<std::int16_t>(r));
  }
  return out;
}

std::optional<std::string> bankSizeProblem(std::span<const std::uint64_t> lengths) {
  std::uint64_t offset = kBankDataStart;
  for (std::size_t k = 0; k < lengths.size(); ++k) {
    if (lengths[k] > kMaxSampleValues) {
      return "sample " + std::to_string(k) + " has " + std::to_string(lengths[k]) +
             " values, more than a bank sample holds (" + std::to_string(kMaxSampleValues) + ")";
    }
    if (offset > 0xFFFFFFFFu) {
      return "the samples are too long together: sample " + std::to_string(k) +
             " would start past the 4 GiB a bank can address";
    }
    offset += 2 * lengths[k];
  }
  return std::nullopt;
}

}  // namespace zorvik::tool
