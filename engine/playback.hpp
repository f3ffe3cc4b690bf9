// A song playing: the one object every front end plays through. It owns
// the song and shares the bank, renders the stream (the player's own
// samples, bit for bit), counts loops and ends play after the last, seeks
// across loops and within a step, mutes channels, applies the gain with
// the limiter, and says which step any sample of the song belongs to.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "engine/gain.hpp"
#include "engine/mixer.hpp"
#include "engine/sequencer.hpp"
#include "formats/bank.hpp"
#include "formats/song.hpp"

namespace zorvik {

// A place in a song: the loop (0 the first time through), the step, and
// the samples already played of that step.
struct PlayPosition {
  std::uint64_t loop = 0;
  std::int32_t step = 0;
  std::int32_t into = 0;
  friend bool operator==(const PlayPosition&, const PlayPosition&) = default;
};

// The place of the sample numbered `sample` from a song's start (loops
// included) at a tempo of samplesPerStep.
PlayPosition positionAt(std::uint64_t sample, std::int32_t samplesPerStep);

class Playback {
 public:
  // Every loop from the second on is the same samples; one up to this many
  // samples long is kept and given again (0: none is, and rendering never
  // allocates, as an audio callback needs).
  static constexpr std::size_t kDefaultMaxKept = std::size_t{8} << 20;

  // Plays from the song's start, `loops` times (0: for ever). The bank must
  // not be null.
  Playback(const Song& song, std::shared_ptr<const SampleBank> bank, std::uint64_t loops = 0,
           std::size_t maxKeptSamples = kDefaultMaxKept);
  Playback(const Playback&) = delete;
  Playback& operator=(const Playback&) = delete;

  // Renders up to out.size() samples, stopping right after a sample that
  // ends a step (stepEnded() then says so) or at the end of play. Returns
  // how many; 0 only when play has ended or out is empty.
  std::size_t render(std::span<std::int16_t> out);
  // Fills out across steps; fewer samples only at the end of play.
  std::size_t fill(std::span<std::int16_t> out);

  // Whether the last render() ended a step: the step is the next one now.
  bool stepEnded() const { return stepEnded_; }
  bool ended() const { return ended_; }

  // Where the next sample is, and that place counted in samples from the
  // song's start (loops included).
  PlayPosition position() const;
  std::uint64_t played() const { return loop_ * loopLength() + inLoop_; }
  std::int32_t step() const;

  // The place of a sample of the song, counted as played() counts.
  PlayPosition positionOf(std::uint64_t sample) const {
    return positionAt(sample, player_.samplesPerStep);
  }

  std::int32_t samplesPerStep() const { return player_.samplesPerStep; }
  std::uint64_t loopLength() const;
  // Loops to play (0: for ever), and the samples that makes (0: endless).
  std::uint64_t loops() const { return loops_; }
  std::uint64_t length() const { return loops_ * loopLength(); }
  // Changes the loops to play; play ends at once if it is past them.
  void setLoops(std::uint64_t loops);

  // Goes to a place: all voices silent; the step's notes start only when
  // into is 0 (as if playing had reached the step). A step past 95 or an
  // into past the step is held at the last; a loop past the last ends play.
  void seek(PlayPosition to);
  // Moves `steps` steps on or back from the step playing, across loops,
  // never before the song's start, to the start of that step.
  void seekSteps(long long steps);

  // Channels heard: bit k for channel k+1. A muted channel plays on unheard.
  void setHeard(unsigned heard);
  unsigned heard() const { return heard_; }

  // The volume after the mix, in decibels (held within kMinGainDb to
  // kMaxGainDb); samples past full scale are limited and counted.
  void setGain(double decibels);
  double gain() const { return gainDb_; }
  std::uint64_t limited() const { return limiter_.limited(); }

  // Goes on with another version of the song, at the same place: the same
  // loop and step, as far into it as the new tempo allows. With the same
  // bank the voices sound on and the new notes are heard from the next
  // step; with another bank the voices fall silent.
  void replace(const Song& song, std::shared_ptr<const SampleBank> bank);

  const Song& song() const { return song_; }
  const SampleBank& bank() const { return *bank_; }
  const std::shared_ptr<const SampleBank>& sharedBank() const { return bank_; }

 private:
  bool servesKept() const;
  // Brings player_ to the place, after samples were given from the kept loop.
  void makeLive();
  void mixLive(std::span<std::int16_t> out);
  void afterSamples(std::size_t n);
  void interrupted();

  Song song_;
  std::shared_ptr<const SampleBank> bank_;
  Player player_;  // at the place whenever live_
  std::uint64_t loops_;
  std::uint64_t loop_ = 0;
  std::int64_t inLoop_ = 0;  // samples played of the current loop
  bool ended_ = false;
  bool stepEnded_ = false;
  unsigned heard_ = kAllChannels;
  double gainDb_ = 0.0;
  Limiter limiter_;

  // The kept loop: a loop is the same as the last whole loop when it
  // starts from the end of a loop played from its start without a seek or
  // a replace (canonical_); such a loop is recorded with the player at the
  // start of each of its steps, to make the player live again anywhere.
  std::size_t maxKept_;
  bool live_ = true;
  bool uninterrupted_ = true;  // this loop has played from its start
  bool canonical_ = false;     // this loop starts as every such loop does
  std::vector<std::int16_t> kept_;
  std::vector<Player> keptSteps_;
};

}  // namespace zorvik
