#include "tools/resample.hpp"

#include <samplerate.h>

#include <cmath>
#include <string>

#include "tools/audio_file.hpp"

namespace zorvik::tool {

std::vector<double> resample(std::span<const double> values, int fromRate, int toRate) {
  if (fromRate == toRate) return {values.begin(), values.end()};
  const double ratio = static_cast<double>(toRate) / fromRate;
  const std::string what =
      "cannot convert " + std::to_string(fromRate) + " Hz to " + std::to_string(toRate) + " Hz";
  if (fromRate <= 0 || !src_is_valid_ratio(ratio)) throw AudioError(what + ": too far apart");
  if (values.empty()) return {};

  // libsamplerate works on floats; scaled to +-1 they keep 24 bits, more
  // than 16-bit values need.
  constexpr double kScale = 32768.0;
  std::vector<float> in(values.size());
  for (std::size_t i = 0; i < values.size(); ++i) in[i] = static_cast<float>(values[i] / kScale);
  std::vector<float> out(
      static_cast<std::size_t>(std::ceil(static_cast<double>(in.size()) * ratio)) + 16);

  SRC_DATA data{};
  data.data_in = in.data();
  data.input_frames = static_cast<long>(in.size());
  data.data_out = out.data();
  data.output_frames = static_cast<long>(out.size());
  data.src_ratio = ratio;
  data.end_of_input = 1;
  if (int error = src_simple(&data, SRC_SINC_BEST_QUALITY, 1))
    throw AudioError(what + ": " + src_strerror(error));

  std::vector<double> result(static_cast<std::size_t>(data.output_frames_gen));
  for (std::size_t i = 0; i < result.size(); ++i) result[i] = out[i] * kScale;
  return result;
}

}  // namespace zorvik::tool
