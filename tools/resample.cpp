#include "tools/resample.hpp"

#include <samplerate.h>

#include <cmath>
#include <string>

#include "formats/error.hpp"

namespace zorvik::tool {

namespace {

std::string conversion(int fromRate, int toRate) {
  return "cannot convert " + std::to_string(fromRate) + " Hz to " + std::to_string(toRate) + " Hz";
}

double checkedRatio(int fromRate, int toRate) {
  if (fromRate <= 0 || toRate <= 0) throw Error(conversion(fromRate, toRate));
  double ratio = static_cast<double>(toRate) / fromRate;
  if (!src_is_valid_ratio(ratio)) throw Error(conversion(fromRate, toRate) + ": too far apart");
  return ratio;
}

}  // namespace

StreamResampler::StreamResampler(int fromRate, int toRate)
    : ratio_(checkedRatio(fromRate, toRate)) {
  int error = 0;
  state_ = src_new(SRC_SINC_BEST_QUALITY, 1, &error);
  if (state_ == nullptr) throw Error(conversion(fromRate, toRate) + ": " + src_strerror(error));
}

StreamResampler::~StreamResampler() { src_delete(state_); }

void StreamResampler::process(std::span<const float> in, bool last, std::vector<float>& out) {
  constexpr long kChunk = 1 << 14;
  SRC_DATA data{};
  data.src_ratio = ratio_;
  for (;;) {
    // The end of the input is only announced with its last chunk.
    data.end_of_input = last && in.size() <= static_cast<std::size_t>(kChunk) ? 1 : 0;
    std::size_t at = out.size();
    out.resize(at + static_cast<std::size_t>(std::ceil(kChunk * ratio_)) + 16);
    data.data_in = in.data();
    data.input_frames = static_cast<long>(std::min<std::size_t>(in.size(), kChunk));
    data.data_out = out.data() + at;
    data.output_frames = static_cast<long>(out.size() - at);
    if (int error = src_process(state_, &data)) {
      throw Error(std::string("cannot convert the sample rate: ") + src_strerror(error));
    }
    out.resize(at + static_cast<std::size_t>(data.output_frames_gen));
    in = in.subspan(static_cast<std::size_t>(data.input_frames_used));
    if (in.empty() && (!last || data.output_frames_gen == 0)) break;
  }
}

}  // namespace zorvik::tool
