#include "tools/sample_values.hpp"

#include <cmath>

namespace zorvik::tool {

BankValues toBankValues(std::span<const double> values) {
  BankValues out;
  out.values.reserve(values.size());
  for (double v : values) {
    double r = std::round(v);
    if (std::isnan(r)) {
      ++out.notNumbers;
      r = 0.0;
    } else if (std::isinf(r)) {
      ++out.infinities;
      r = r < 0.0 ? -32768.0 : 32767.0;
    } else if (r < -32768.0 || r > 32767.0) {
      ++out.clipped;
      r = r < 0.0 ? -32768.0 : 32767.0;
    }
    out.values.push_back(static_cast<std::int16_t>(r));
  }
  return out;
}

}  // namespace zorvik::tool
