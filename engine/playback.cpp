#include "engine/playback.hpp"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

#include "engine/block_mixer.hpp"

namespace zorvik {

Playback::Playback(const Song& song, std::shared_ptr<const SampleBank> bank, std::uint64_t loops,
                   std::size_t maxKeptSamples)
    : song_(song),
      bank_(std::move(bank)),
      player_(song_.tempo, song_, *bank_),
      loops_(loops),
      maxKept_(maxKeptSamples) {}

std::uint64_t Playback::loopLength() const {
  return std::uint64_t{kSteps} * static_cast<std::uint64_t>(player_.samplesPerStep);
}

std::int32_t Playback::step() const {
  return static_cast<std::int32_t>(inLoop_ / player_.samplesPerStep);
}

PlayPosition Playback::position() const {
  return {loop_, step(), static_cast<std::int32_t>(inLoop_ % player_.samplesPerStep)};
}

PlayPosition positionAt(std::uint64_t sample, std::int32_t samplesPerStep) {
  const auto perStep = static_cast<std::uint64_t>(samplesPerStep);
  const std::uint64_t loop = perStep * kSteps;
  return {sample / loop, static_cast<std::int32_t>(sample % loop / perStep),
          static_cast<std::int32_t>(sample % perStep)};
}

void Playback::setLoops(std::uint64_t loops) {
  loops_ = loops;
  ended_ = loops_ != 0 && loop_ >= loops_;
}

bool Playback::servesKept() const {
  return canonical_ && heard_ == kAllChannels && !kept_.empty() && kept_.size() == loopLength();
}

void Playback::makeLive() {
  if (live_) return;
  const PlayPosition at = position();
  player_ = keptSteps_[static_cast<std::size_t>(at.step)];
  std::array<std::int16_t, 4096> scratch;
  for (std::int32_t left = at.into; left > 0;) {
    auto n = static_cast<std::int32_t>(
        renderBlock(player_, std::span(scratch).first(std::min<std::size_t>(
                                 scratch.size(), static_cast<std::size_t>(left)))));
    left -= n;
  }
  live_ = true;
}

void Playback::mixLive(std::span<std::int16_t> out) {
  makeLive();
  if (heard_ != kAllChannels) {
    for (std::int16_t& sample : out) sample = nextSample(player_, heard_);
    return;
  }
  // A canonical loop played from its start without a gap is recorded, with
  // the player at each step's start, until it is whole.
  if (canonical_ && inLoop_ == 0 && kept_.size() != loopLength()) {
    kept_.clear();  // a recording a mute broke off starts again
  }
  const bool record = canonical_ && maxKept_ != 0 && loopLength() <= maxKept_ &&
                      kept_.size() == static_cast<std::size_t>(inLoop_);
  if (record) {
    if (kept_.empty()) {
      kept_.reserve(static_cast<std::size_t>(loopLength()));
      keptSteps_.clear();
      keptSteps_.reserve(kSteps);
    }
    if (positionInStep(player_) == 0) keptSteps_.push_back(player_);
  }
  renderFully(player_, out);
  if (record) kept_.insert(kept_.end(), out.begin(), out.end());
}

void Playback::afterSamples(std::size_t n) {
  inLoop_ += static_cast<std::int64_t>(n);
  stepEnded_ = inLoop_ % player_.samplesPerStep == 0;
  if (inLoop_ < static_cast<std::int64_t>(loopLength())) return;
  // A loop played to its end: the next one starts as every loop after a
  // whole one does.
  inLoop_ = 0;
  ++loop_;
  canonical_ = uninterrupted_;
  uninterrupted_ = true;
  if (loops_ != 0 && loop_ >= loops_) ended_ = true;
}

std::size_t Playback::render(std::span<std::int16_t> out) {
  if (ended_ || out.empty()) return 0;
  const auto left =
      static_cast<std::size_t>(player_.samplesPerStep - inLoop_ % player_.samplesPerStep);
  std::span<std::int16_t> part = out.first(std::min(out.size(), left));
  if (servesKept()) {
    std::memcpy(part.data(), kept_.data() + inLoop_, part.size_bytes());
    live_ = false;
  } else {
    mixLive(part);
  }
  if (gainDb_ != 0.0) limiter_.apply(std::span<const std::int16_t>(part), part);
  afterSamples(part.size());
  return part.size();
}

std::size_t Playback::fill(std::span<std::int16_t> out) {
  std::size_t done = 0;
  while (done < out.size()) {
    std::size_t n = render(out.subspan(done));
    if (n == 0) break;
    done += n;
  }
  return done;
}

void Playback::interrupted() {
  uninterrupted_ = false;
  canonical_ = false;
  stepEnded_ = false;
}

void Playback::seek(PlayPosition to) {
  interrupted();
  live_ = true;
  if (loops_ != 0 && to.loop >= loops_) {
    loop_ = loops_;
    inLoop_ = 0;
    ended_ = true;
    return;
  }
  const std::int32_t step = std::clamp(to.step, 0, kSteps - 1);
  const std::int32_t into = std::clamp(to.into, 0, player_.samplesPerStep - 1);
  jumpToStep(player_, step);
  player_.sampleCounter += into;
  loop_ = to.loop;
  inLoop_ = player_.sampleCounter;
  ended_ = false;
}

void Playback::seekSteps(long long steps) {
  const PlayPosition at = position();
  const long long here = static_cast<long long>(at.loop) * kSteps + at.step;
  const long long target = std::max(0LL, here + steps);
  seek(
      {static_cast<std::uint64_t>(target / kSteps), static_cast<std::int32_t>(target % kSteps), 0});
}

void Playback::setHeard(unsigned heard) { heard_ = heard & kAllChannels; }

void Playback::setGain(double decibels) {
  gainDb_ = std::clamp(decibels, double{kMinGainDb}, double{kMaxGainDb});
  limiter_.setGain(gainDb_);
}

void Playback::replace(const Song& song, std::shared_ptr<const SampleBank> bank) {
  const PlayPosition at = position();
  const bool sameBank = bank == bank_;
  if (sameBank) makeLive();
  const std::array<Voice, kChannels> voices = player_.voices;
  song_ = song;
  bank_ = std::move(bank);
  player_ = Player(song_.tempo, song_, *bank_);
  kept_.clear();
  keptSteps_.clear();
  interrupted();
  live_ = true;
  jumpToStep(player_, at.step);
  player_.sampleCounter += std::min(at.into, player_.samplesPerStep - 1);
  if (sameBank) player_.voices = voices;
  inLoop_ = player_.sampleCounter;
}

}  // namespace zorvik
