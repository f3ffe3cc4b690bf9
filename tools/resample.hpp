// Sample-rate conversion with libsamplerate's best sinc converter.
#pragma once

#include <span>
#include <vector>

struct SRC_STATE_tag;

namespace zorvik::tool {

// A stream at `fromRate` converted to `toRate`, as it arrives in parts:
// about as many values out as in * toRate / fromRate. Values may be on any
// scale; the result is on the same one. Throws Error when libsamplerate
// cannot make the conversion.
class StreamResampler {
 public:
  StreamResampler(int fromRate, int toRate);
  ~StreamResampler();
  StreamResampler(const StreamResampler&) = delete;
  StreamResampler& operator=(const StreamResampler&) = delete;

  // Converts the next part of the input and appends what comes out to out;
  // `last` marks the last part, after which everything still held comes out.
  void process(std::span<const float> in, bool last, std::vector<float>& out);

 private:
  SRC_STATE_tag* state_;
  double ratio_;
};

}  // namespace zorvik::tool
