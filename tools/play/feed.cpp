#include "tools/play/feed.hpp"

#include <algorithm>
#include <thread>
#include <utility>

#include "platform/audio_device.hpp"

namespace zorvik::play {

Playing::Playing(std::shared_ptr<const Deck> d, std::uint64_t loops, std::uint64_t s)
    : deck(std::move(d)), serial(s), playback(deck->song, deck->bank, loops, 0) {}

Feed::Feed(HeardClock& clock) : clock_(clock) {}

Feed::~Feed() { collect(); }

void Feed::send(FeedCommand command) {
  // The callback empties the queue every buffer; a full one is a burst of
  // keys, which waits a moment.
  while (!commands_.push(command)) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

void Feed::collect() {
  for (Retired item; retired_.pop(item);) item = {};
}

void Feed::retire(std::unique_ptr<Playing> playing, std::shared_ptr<const Deck> deck) {
  if (!playing && !deck) return;
  Retired item{std::move(playing), std::move(deck)};
  // apply() runs only with room for what it retires.
  retired_.push(item);
}

void Feed::begin(std::unique_ptr<Playing> playing) {
  retire(std::move(current_));
  current_ = std::move(playing);
  nextKnown_ = false;
  if (current_) {
    current_->playback.setHeard(heard_);
    current_->playback.setGain(gain_);
  }
}

void Feed::apply(FeedCommand& command) {
  switch (command.kind) {
    case FeedCommand::Kind::Play:
      retire(std::move(next_));
      begin(std::move(command.playing));
      break;
    case FeedCommand::Kind::Follow:
      if (current_ && current_->serial == command.serial) {
        retire(std::move(next_));
        next_ = std::move(command.playing);
        nextKnown_ = true;
      }
      break;
    case FeedCommand::Kind::Reload:
      if (current_ && current_->serial == command.serial) {
        current_->playback.replace(command.deck->song, command.deck->bank);
        std::swap(current_->deck, command.deck);  // the old version goes back
      }
      break;
    case FeedCommand::Kind::Seek:
      if (current_) current_->playback.seekSteps(command.value);
      break;
    case FeedCommand::Kind::Heard:
      heard_ = static_cast<unsigned>(command.value) & kAllChannels;
      if (current_) current_->playback.setHeard(heard_);
      break;
    case FeedCommand::Kind::Gain:
      gain_ = command.gain;
      if (current_) current_->playback.setGain(gain_);
      break;
    case FeedCommand::Kind::Pause:
      paused_ = command.value != 0;
      break;
  }
  // Whatever the command still holds is for the main thread to free.
  retire(std::move(command.playing), std::move(command.deck));
}

void Feed::fill(std::span<std::int16_t> out, std::chrono::steady_clock::time_point now) {
  // The buffer filled last time is the one the device plays from now on.
  if (last_.parts != 0) {
    last_.time = now.time_since_epoch().count();
    clock_.publish(last_);
  }

  // Each command retires at most three things.
  for (FeedCommand command; retired_.room() >= 3 && commands_.pop(command); command = {}) {
    apply(command);
  }

  HeardBuffer buffer;
  buffer.length = static_cast<std::uint32_t>(out.size());
  auto part = [&](std::size_t offset) -> HeardPart* {
    if (buffer.parts == buffer.part.size()) return nullptr;
    HeardPart& p = buffer.part[buffer.parts++];
    p.offset = static_cast<std::uint32_t>(offset);
    if (current_) {
      p.serial = current_->serial;
      p.played = current_->playback.played();
      p.samplesPerStep = current_->playback.samplesPerStep();
    }
    return &p;
  };
  std::size_t done = 0;
  if (paused_ || !current_) {
    part(0);
  } else {
    for (;;) {
      HeardPart* p = part(done);
      std::size_t n = current_->playback.fill(out.subspan(done));
      if (p != nullptr) p->samples = static_cast<std::uint32_t>(n);
      done += n;
      if (done == out.size() || !nextKnown_) break;  // full, or waiting to know what follows
      // The song has played its loops: the next one, if any, goes on at once.
      begin(std::move(next_));
      if (!current_) {
        part(done);  // the end of the playlist
        break;
      }
    }
  }
  std::fill(out.begin() + static_cast<std::ptrdiff_t>(done), out.end(), 0);
  last_ = buffer;
}

void Feed::callback(void* userdata, std::uint8_t* stream, int len) {
  auto& feed = *static_cast<Feed*>(userdata);
  const auto now = std::chrono::steady_clock::now();
  std::int16_t block[platform::kDeviceBufferSamples];
  const std::size_t wanted = len > 0 ? static_cast<std::size_t>(len) / 2 : 0;
  // A device that asks for more than one buffer's worth is given it in
  // parts; the clock then counts from the last part.
  for (std::size_t done = 0; done < wanted;) {
    std::size_t n = std::min<std::size_t>(wanted - done, std::size(block));
    feed.fill(std::span(block).first(n), now);
    for (std::size_t i = 0; i < n; ++i) {
      auto v = static_cast<std::uint16_t>(block[i]);
      stream[2 * (done + i)] = static_cast<std::uint8_t>(v);
      stream[2 * (done + i) + 1] = static_cast<std::uint8_t>(v >> 8);
    }
    done += n;
  }
}

}  // namespace zorvik::play
