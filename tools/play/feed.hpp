// The audio side of zorvik play: the device's callback renders each buffer
// from the song playing, in the callback itself. The main thread changes
// what plays (another song, the one to follow, a new version of the same
// one, a seek, mutes, the volume, a pause) through a queue the callback
// takes at the start of each buffer, so a change is heard with the next
// buffer; what the callback is done with comes back through another queue
// for the main thread to free. The callback does no I/O, takes no lock and
// allocates and frees nothing.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <span>

#include "engine/playback.hpp"
#include "tools/play/clock.hpp"
#include "tools/play/deck.hpp"
#include "tools/play/spsc_queue.hpp"

namespace zorvik::play {

// One play of a song: made by the main thread, rendered by the callback.
struct Playing {
  Playing(std::shared_ptr<const Deck> deck, std::uint64_t loops, std::uint64_t serial);
  std::shared_ptr<const Deck> deck;
  std::uint64_t serial;  // told apart from every other play, also of the same song
  Playback playback;
};

struct FeedCommand {
  enum class Kind { Play, Follow, Reload, Seek, Heard, Gain, Pause };
  Kind kind = Kind::Pause;
  std::unique_ptr<Playing> playing;  // Play: plays now; Follow: follows (none: nothing does)
  std::shared_ptr<const Deck> deck;  // Reload: the new version
  std::uint64_t serial = 0;          // Follow, Reload: the play it is for
  long long value = 0;               // Seek: steps; Heard: the channels; Pause: 1 or 0
  double gain = 0.0;                 // Gain: decibels
};

class Feed {
 public:
  explicit Feed(HeardClock& clock);
  ~Feed();  // once the device has stopped
  Feed(const Feed&) = delete;
  Feed& operator=(const Feed&) = delete;

  // Main thread: sends a command (waiting while the queue is full), and
  // frees what the callback is done with.
  void send(FeedCommand command);
  void collect();

  // The callback's work: `out` is the device's next buffer, which it
  // begins to play at `now`... after the one filled before it, which the
  // device plays from `now` on and the clock then says so.
  void fill(std::span<std::int16_t> out, std::chrono::steady_clock::time_point now);

  // SDL's callback; userdata is the Feed.
  static void callback(void* userdata, std::uint8_t* stream, int len);

 private:
  struct Retired {
    std::unique_ptr<Playing> playing;
    std::shared_ptr<const Deck> deck;
  };
  void apply(FeedCommand& command);
  void retire(std::unique_ptr<Playing> playing, std::shared_ptr<const Deck> deck = nullptr);
  void begin(std::unique_ptr<Playing> playing);

  HeardClock& clock_;
  SpscQueue<FeedCommand> commands_{256};
  SpscQueue<Retired> retired_{1024};

  // The callback's own.
  std::unique_ptr<Playing> current_;
  std::unique_ptr<Playing> next_;
  bool nextKnown_ = false;  // a Follow for current_ has come
  bool paused_ = false;
  unsigned heard_ = kAllChannels;
  double gain_ = 0.0;
  HeardBuffer last_{};  // what the buffer filled last holds
};

}  // namespace zorvik::play
