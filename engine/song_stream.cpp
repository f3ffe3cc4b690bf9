#include "engine/song_stream.hpp"

#include <algorithm>
#include <cstring>

#include "engine/block_mixer.hpp"

namespace zorvik {

SongStream::SongStream(const Song& song, const SampleBank& bank, std::size_t maxKeptSamples)
    : player_(song.tempo, song, bank),
      loopLength_(std::uint64_t{kSteps} * static_cast<std::uint64_t>(player_.samplesPerStep)),
      keep_(loopLength_ <= maxKeptSamples) {}

std::span<const std::int16_t> SongStream::keptPart(std::size_t max) {
  if (!keep_ || produced_ < 2 * loopLength_) return {};
  // Every loop from the third on is the kept second one.
  auto at = static_cast<std::size_t>((produced_ - 2 * loopLength_) % loopLength_);
  std::size_t n = std::min(max, kept_.size() - at);
  produced_ += n;
  return {kept_.data() + at, n};
}

void SongStream::render(std::span<std::int16_t> out) {
  while (!out.empty()) {
    if (auto kept = keptPart(out.size()); !kept.empty()) {
      std::memcpy(out.data(), kept.data(), kept.size_bytes());
      out = out.subspan(kept.size());
      continue;
    }
    // Up to the end of the current loop, so that the second is kept whole.
    std::uint64_t loopEnd = (produced_ / loopLength_ + 1) * loopLength_;
    auto n = static_cast<std::size_t>(std::min<std::uint64_t>(out.size(), loopEnd - produced_));
    std::span<std::int16_t> part = out.first(n);
    renderFully(player_, part);
    if (keep_ && produced_ >= loopLength_) {
      if (kept_.empty()) kept_.reserve(static_cast<std::size_t>(loopLength_));
      kept_.insert(kept_.end(), part.begin(), part.end());
    }
    out = out.subspan(n);
    produced_ += n;
  }
}

std::span<const std::int16_t> SongStream::next(std::size_t max) {
  if (auto kept = keptPart(max); !kept.empty()) return kept;
  buffer_.resize(std::min<std::size_t>(max, std::size_t{1} << 16));
  render(buffer_);
  return buffer_;
}

}  // namespace zorvik
