// Standard MIDI Files: a track's timed events as the file stores them, and
// the file that holds the tracks.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace zorvik {

// The longest a delta time can be (four bytes of seven bits), in ticks.
inline constexpr std::uint64_t kMaxMidiDelta = 0x0FFFFFFF;

// The meta events that hold text.
enum class MidiText : std::uint8_t { Text = 0x01, Copyright = 0x02, TrackName = 0x03 };

// One track, built event by event, each at a tick (counted from the start)
// no earlier than the one before. Channels, keys, velocities and programs
// are taken as they are: each must fit its field (0-15 or 0-127).
class MidiTrack {
 public:
  void noteOn(std::uint64_t tick, int channel, int key, int velocity);
  void noteOff(std::uint64_t tick, int channel, int key, int velocity);
  void programChange(std::uint64_t tick, int channel, int program);
  // Microseconds per quarter note, below 2^24.
  void tempo(std::uint64_t tick, std::uint32_t microsecondsPerQuarter);
  void text(std::uint64_t tick, MidiText type, std::string_view text);
  // The end of the track: nothing may follow it.
  void end(std::uint64_t tick);

  // The track's events, delta times included, without the chunk's head.
  const std::vector<std::uint8_t>& events() const { return events_; }

 private:
  // The delta time from the event before; throws Error for a tick before
  // it, or one more than kMaxMidiDelta after it.
  void at(std::uint64_t tick);
  void channelEvent(std::uint64_t tick, int status, int channel, std::initializer_list<int> data);

  std::vector<std::uint8_t> events_;
  std::uint64_t tick_ = 0;
};

// The bytes of a file of format 0 (one track) or 1 (tracks played side by
// side, the first holding the tempo), of `division` ticks per quarter note
// (1 to 32767). Throws Error when a track is longer than a chunk can say.
std::vector<std::uint8_t> midiFileBytes(int format, int division,
                                        std::span<const MidiTrack> tracks);

}  // namespace zorvik
