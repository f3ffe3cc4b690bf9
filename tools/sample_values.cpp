#include "tools/sample_values.hpp"

#include <cmath>

#include "engine/gain.hpp"

namespace zorvik::tool {

BankValues toBankValues(std::span<const double> values) {
  BankValues out;
  appendBankValues(values, out);
  return out;
}

void appendBankValues(std::span<const double> values, BankValues& out) {
  out.values.reserve(out.values.size() + values.size());
  std::uint64_t clipped = 0;
  for (double v : values) {
    if (std::isnan(v)) {
      ++out.notNumbers;
      out.values.push_back(0);
    } else if (std::isinf(v)) {
      ++out.infinities;
      out.values.push_back(v < 0.0 ? -32768 : 32767);
    } else {
      out.values.push_back(limitedSample(v, clipped));
    }
  }
  out.clipped += static_cast<std::size_t>(clipped);
}

}  // namespace zorvik::tool
