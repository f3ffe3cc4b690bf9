// The render thread of zorvik play: turns the playlist's songs into
// samples ahead of the sound card, into the ring the audio callback reads.
// The main thread asks it for changes (another song, a seek, mutes, the
// volume) and for what is heard at a sample; every change replaces what
// is not yet played, from exactly where playing is, so that it is heard at
// once. With none of them, the samples are exactly the song's stream.
#pragma once

#include <semaphore.h>

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "app/audio.hpp"
#include "engine/sequencer.hpp"
#include "tools/play/deck.hpp"
#include "tools/play/ring.hpp"

namespace zorvik::play {

// What is heard at one sample.
struct Heard {
  std::shared_ptr<const Deck> deck;  // none before the first song
  int step = 0;
  int loop = 0;                  // 0 for the first time through the song
  std::uint64_t songSample = 0;  // samples since the song began, loops included
  bool ended = false;            // past the end of the last song
};

class Renderer {
 public:
  // Keeps `ahead` samples in the ring for the reader: a few device buffers,
  // and no more than half the ring, so that what replaces unplayed samples
  // always has room.
  explicit Renderer(SampleRing& ring, std::size_t ahead = 3 * kDeviceBufferSamples);
  ~Renderer();
  Renderer(const Renderer&) = delete;
  Renderer& operator=(const Renderer&) = delete;

  // Starts rendering on a thread of its own; wake() (from the audio
  // callback: it only posts a semaphore) says the ring has room.
  void start();
  void wake();

  // Plays a song from its start, now, for `loops` loops (0: for ever).
  void play(std::shared_ptr<const Deck> deck, int loops);
  // Goes on with a newly loaded version of the song playing, at the same
  // place (its notes start with the next step).
  void reload(std::shared_ptr<const Deck> deck);
  // The song to play, for `loops` loops, when `after` has played its own.
  void queue(const std::shared_ptr<const Deck>& after, std::shared_ptr<const Deck> deck, int loops);
  // Moves `steps` steps on (or back) from the step playing, across loops
  // (never before the song's start; past its last loop, to the next song);
  // that step starts its notes as if playing had reached it.
  void seek(int steps);
  // Channels not heard (bit k: channel k), and the volume after the mix.
  void setMuted(unsigned mask);
  void setGain(int decibels);

  // What is heard at a sample the ring has given.
  Heard at(std::uint64_t sample) const;

  // Renders into the ring as far as it has room (the thread does this).
  void fill();

 private:
  struct State {
    std::shared_ptr<const Deck> deck;
    std::optional<Player> player;
    int loop = 0;
    int loops = 0;  // 0: for ever
    std::uint64_t songSample = 0;
    // What follows the song: part of the state, so that going back to a
    // snapshot before the song's end finds it there again.
    std::shared_ptr<const Deck> next;
    int nextLoops = 0;
  };
  struct Snapshot {
    std::uint64_t index;
    State state;
  };
  struct Mark {
    std::uint64_t index;
    std::shared_ptr<const Deck> deck;
    int step;
    int loop;
    std::uint64_t songSample;
  };

  void run();
  void fillLocked();
  // Renders up to out.size() samples of head_, no further than the end of
  // a step; returns how many (0 once the playlist has ended). The first
  // sample is numbered `index` in the ring; kUnmarked renders unmarked.
  static constexpr std::uint64_t kUnmarked = ~std::uint64_t{0};
  std::size_t renderStep(std::span<std::int16_t> out, std::uint64_t index);
  void finishStep();
  // Replaces what is not yet played: head_ becomes the state where playing
  // is, and what is written next follows it. Without `restore` the caller
  // sets head_ afresh and marks it.
  void replaceUnplayed(bool restore = true);
  // Notes that the sample numbered `index` is head_'s.
  void mark(std::uint64_t index);
  static State stateOf(std::shared_ptr<const Deck> deck, int loops);
  // The song after head_'s, from its start.
  void nextSong();

  SampleRing& ring_;
  std::size_t ahead_;
  mutable std::mutex mutex_;
  State head_;
  unsigned muted_ = 0;
  int gainDb_ = 0;
  bool ended_ = false;
  std::uint64_t endIndex_ = 0;
  std::deque<Snapshot> snapshots_;
  std::deque<Mark> marks_;
  std::vector<std::int16_t> buffer_;

  sem_t wake_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace zorvik::play
