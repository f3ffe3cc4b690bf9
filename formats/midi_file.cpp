#include "formats/midi_file.hpp"

#include <limits>
#include <string>

#include "formats/error.hpp"

namespace zorvik {

namespace {

void appendBe(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// A variable-length quantity: seven bits a byte, most significant first,
// the top bit set on every byte but the last.
void appendVarLength(std::vector<std::uint8_t>& out, std::uint64_t value) {
  int bytes = 1;
  while (bytes < 10 && value >> (7 * bytes) != 0) ++bytes;
  for (int i = bytes - 1; i >= 0; --i) {
    auto part = static_cast<std::uint8_t>((value >> (7 * i)) & 0x7F);
    out.push_back(i > 0 ? static_cast<std::uint8_t>(part | 0x80) : part);
  }
}

void appendChunk(std::vector<std::uint8_t>& out, std::string_view id,
                 std::span<const std::uint8_t> body) {
  if (body.size() > std::numeric_limits<std::uint32_t>::max()) {
    throw Error("a MIDI track cannot hold more than 4 GiB of events");
  }
  out.insert(out.end(), id.begin(), id.end());
  appendBe(out, static_cast<std::uint32_t>(body.size()), 4);
  out.insert(out.end(), body.begin(), body.end());
}

}  // namespace

void MidiTrack::at(std::uint64_t tick) {
  if (tick < tick_ || tick - tick_ > kMaxMidiDelta) {
    throw Error("a MIDI event at tick " + std::to_string(tick) + " cannot follow one at tick " +
                std::to_string(tick_));
  }
  appendVarLength(events_, tick - tick_);
  tick_ = tick;
}

void MidiTrack::channelEvent(std::uint64_t tick, int status, int channel,
                             std::initializer_list<int> data) {
  at(tick);
  events_.push_back(static_cast<std::uint8_t>(status | (channel & 0x0F)));
  for (int byte : data) events_.push_back(static_cast<std::uint8_t>(byte & 0x7F));
}

void MidiTrack::noteOn(std::uint64_t tick, int channel, int key, int velocity) {
  channelEvent(tick, 0x90, channel, {key, velocity});
}

void MidiTrack::noteOff(std::uint64_t tick, int channel, int key, int velocity) {
  channelEvent(tick, 0x80, channel, {key, velocity});
}

void MidiTrack::programChange(std::uint64_t tick, int channel, int program) {
  channelEvent(tick, 0xC0, channel, {program});
}

void MidiTrack::tempo(std::uint64_t tick, std::uint32_t microsecondsPerQuarter) {
  at(tick);
  events_.insert(events_.end(), {0xFF, 0x51, 0x03});
  appendBe(events_, microsecondsPerQuarter & 0xFFFFFF, 3);
}

void MidiTrack::text(std::uint64_t tick, MidiText type, std::string_view text) {
  at(tick);
  events_.insert(events_.end(), {0xFF, static_cast<std::uint8_t>(type)});
  appendVarLength(events_, text.size());
  events_.insert(events_.end(), text.begin(), text.end());
}

void MidiTrack::end(std::uint64_t tick) {
  at(tick);
  events_.insert(events_.end(), {0xFF, 0x2F, 0x00});
}

std::vector<std::uint8_t> midiFileBytes(int format, int division,
                                        std::span<const MidiTrack> tracks) {
  std::vector<std::uint8_t> header;
  appendBe(header, static_cast<std::uint32_t>(format), 2);
  appendBe(header, static_cast<std::uint32_t>(tracks.size()), 2);
  appendBe(header, static_cast<std::uint32_t>(division & 0x7FFF), 2);
  std::vector<std::uint8_t> out;
  appendChunk(out, "MThd", header);
  for (const MidiTrack& track : tracks) appendChunk(out, "MTrk", track.events());
  return out;
}

}  // namespace zorvik
