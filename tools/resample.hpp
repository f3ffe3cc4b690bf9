// Sample-rate conversion with libsamplerate's best sinc converter.
#pragma once

#include <span>
#include <vector>

namespace zorvik::tool {

// `values` at `fromRate` converted to `toRate`: about size * toRate /
// fromRate values. Equal rates give the values back untouched. Values may
// be on any scale; the result is on the same one. Throws AudioError when
// libsamplerate cannot make the conversion.
std::vector<double> resample(std::span<const double> values, int fromRate, int toRate);

}  // namespace zorvik::tool
