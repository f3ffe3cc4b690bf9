#include "tools/play/renderer.hpp"

#include <algorithm>
#include <cerrno>

#include "engine/block_mixer.hpp"
#include "engine/gain.hpp"
#include "engine/mixer.hpp"

namespace zorvik::play {

namespace {

constexpr std::size_t kChunk = 1024;  // samples between snapshots
// How far back from the reader snapshots and marks are kept: a replacement
// goes back to where the reader is, and the screen asks for what is heard,
// which is behind it by a device buffer or so.
constexpr std::uint64_t kKeepBehind = 1 << 16;

}  // namespace

Renderer::Renderer(SampleRing& ring, std::size_t ahead)
    : ring_(ring), ahead_(ahead), buffer_(kChunk) {
  ::sem_init(&wake_, 0, 0);
}

Renderer::~Renderer() {
  stop_.store(true);
  wake();
  if (thread_.joinable()) thread_.join();
  ::sem_destroy(&wake_);
}

void Renderer::start() {
  thread_ = std::thread([this] { run(); });
}

void Renderer::wake() { ::sem_post(&wake_); }

void Renderer::run() {
  while (!stop_.load()) {
    fill();
    // Woken by the audio callback when it has taken samples, and to stop;
    // what the main thread changes it fills in itself.
    while (::sem_wait(&wake_) != 0 && errno == EINTR) {
    }
  }
}

Renderer::State Renderer::stateOf(std::shared_ptr<const Deck> deck, int loops) {
  State state;
  if (deck) state.player.emplace(deck->song.tempo, deck->song, deck->bank);
  state.deck = std::move(deck);
  state.loops = loops;
  return state;
}

void Renderer::fill() {
  std::lock_guard lock(mutex_);
  fillLocked();
}

void Renderer::mark(std::uint64_t index) {
  if (!head_.deck) return;
  marks_.push_back({index, head_.deck, head_.player->currentStep, head_.loop, head_.songSample});
}

void Renderer::nextSong() { head_ = stateOf(head_.next, head_.nextLoops); }

void Renderer::finishStep() {
  // The sample just rendered ended a step: a new loop begins at step 0;
  // after the last loop the next song takes over, or the playlist ends.
  if (!head_.player->redraw || head_.player->currentStep != 0) return;
  ++head_.loop;
  if (head_.loops == 0 || head_.loop < head_.loops) return;
  nextSong();
}

std::size_t Renderer::renderStep(std::span<std::int16_t> out, std::uint64_t index) {
  if (!head_.deck) return 0;
  Player& player = *head_.player;
  if (index != kUnmarked && positionInStep(player) == 0) mark(index);
  std::size_t n;
  if (muted_ == 0) {
    n = renderBlock(player, out);
  } else {
    auto left = static_cast<std::size_t>(player.samplesPerStep - positionInStep(player));
    n = std::min(out.size(), left);
    for (std::size_t i = 0; i < n; ++i) out[i] = nextSample(player, kAllChannels & ~muted_);
  }
  if (gainDb_ != 0) {
    const double scale = gainScale(gainDb_);
    std::uint64_t limited = 0;
    for (std::size_t i = 0; i < n; ++i) out[i] = limitedSample(out[i] * scale, limited);
  }
  head_.songSample += n;
  finishStep();
  return n;
}

void Renderer::fillLocked() {
  const std::uint64_t reader = ring_.readIndex();
  while (snapshots_.size() > 1 && snapshots_[1].index + kKeepBehind <= reader) {
    snapshots_.pop_front();
  }
  while (marks_.size() > 1 && marks_[1].index + kKeepBehind <= reader) marks_.pop_front();

  while (!ended_ && ring_.ahead() < ahead_) {
    if (ring_.room() < kChunk) break;  // whole chunks only: one snapshot each
    snapshots_.push_back({ring_.writeIndex(), head_});
    std::size_t done = 0;
    while (done < kChunk) {
      std::size_t n =
          renderStep(std::span(buffer_).subspan(done, kChunk - done), ring_.writeIndex() + done);
      if (n == 0) break;
      done += n;
    }
    ring_.write(std::span(buffer_).first(done));
    if (done < kChunk) {
      ended_ = true;
      endIndex_ = ring_.writeIndex();
    }
  }
}

void Renderer::replaceUnplayed(bool restore) {
  // From the first sample the reader has yet to play: what was written
  // before the snapshots that are left will be skipped anyway.
  std::uint64_t from = ring_.skipUnplayed();
  if (!snapshots_.empty()) from = std::max(from, snapshots_.front().index);
  if (restore && !snapshots_.empty()) {
    while (snapshots_.back().index > from) snapshots_.pop_back();
    head_ = snapshots_.back().state;
    for (std::uint64_t skip = from - snapshots_.back().index; skip > 0;) {
      std::size_t n =
          renderStep(std::span(buffer_).first(std::min<std::uint64_t>(skip, kChunk)), kUnmarked);
      if (n == 0) break;
      skip -= n;
    }
  }
  while (!marks_.empty() && marks_.back().index >= from) marks_.pop_back();
  snapshots_.clear();
  ended_ = false;
  if (restore) mark(ring_.writeIndex());
}

void Renderer::play(std::shared_ptr<const Deck> deck, int loops) {
  std::lock_guard lock(mutex_);
  replaceUnplayed(false);
  head_ = stateOf(std::move(deck), loops);
  mark(ring_.writeIndex());
  fillLocked();
}

void Renderer::reload(std::shared_ptr<const Deck> deck) {
  std::lock_guard lock(mutex_);
  replaceUnplayed();
  State next = stateOf(std::move(deck), head_.loops);
  if (head_.deck && next.deck) {
    // The same place: the same step, and as far into it as the new tempo
    // allows; the voices start afresh with the next step.
    Player& old = *head_.player;
    Player& now = *next.player;
    std::int32_t into = std::min(positionInStep(old), now.samplesPerStep - 1);
    jumpToStep(now, old.currentStep);
    now.sampleCounter += into;
    next.loop = head_.loop;
    next.songSample = head_.songSample;
    next.next = head_.next;
    next.nextLoops = head_.nextLoops;
  }
  head_ = std::move(next);
  mark(ring_.writeIndex());
  fillLocked();
}

void Renderer::queue(const std::shared_ptr<const Deck>& after, std::shared_ptr<const Deck> deck,
                     int loops) {
  std::lock_guard lock(mutex_);
  // Wherever `after` plays: now, and in every snapshot a change may go
  // back to.
  auto follow = [&](State& state) {
    if (state.deck == after) {
      state.next = deck;
      state.nextLoops = loops;
    }
  };
  follow(head_);
  for (Snapshot& snapshot : snapshots_) follow(snapshot.state);
  if (ended_ && head_.deck == nullptr && deck && !marks_.empty() && marks_.back().deck == after) {
    // The playlist had ended for want of a next song: it goes on.
    head_ = stateOf(std::move(deck), loops);
    ended_ = false;
    mark(ring_.writeIndex());
  }
  fillLocked();
}

void Renderer::seek(int steps) {
  std::lock_guard lock(mutex_);
  replaceUnplayed();
  if (head_.deck) {
    Player& player = *head_.player;
    // Counted from the song's start, loops and all.
    long long target =
        std::max(0LL, static_cast<long long>(head_.loop) * kSteps + player.currentStep + steps);
    head_.loop = static_cast<int>(target / kSteps);
    if (head_.loops != 0 && head_.loop >= head_.loops) {
      nextSong();
    } else {
      auto step = static_cast<std::int32_t>(target % kSteps);
      jumpToStep(player, step);
      head_.songSample =
          static_cast<std::uint64_t>(target) * static_cast<std::uint64_t>(player.samplesPerStep);
    }
  }
  mark(ring_.writeIndex());
  fillLocked();
}

void Renderer::setMuted(unsigned mask) {
  std::lock_guard lock(mutex_);
  replaceUnplayed();
  muted_ = mask & kAllChannels;
  fillLocked();
}

void Renderer::setGain(int decibels) {
  std::lock_guard lock(mutex_);
  replaceUnplayed();
  gainDb_ = decibels;
  fillLocked();
}

Heard Renderer::at(std::uint64_t sample) const {
  std::lock_guard lock(mutex_);
  Heard heard;
  auto mark = std::upper_bound(marks_.begin(), marks_.end(), sample,
                               [](std::uint64_t s, const Mark& m) { return s < m.index; });
  if (mark != marks_.begin()) {
    --mark;
    heard.deck = mark->deck;
    heard.step = mark->step;
    heard.loop = mark->loop;
    heard.songSample = mark->songSample + (sample - mark->index);
  }
  heard.ended = ended_ && sample >= endIndex_;
  return heard;
}

}  // namespace zorvik::play
