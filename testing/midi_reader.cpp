#include "testing/midi_reader.hpp"

#include <algorithm>
#include <map>
#include <stdexcept>
#include <tuple>

namespace zorvik::fixtures {

namespace {

class Cursor {
 public:
  Cursor(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  bool done() const { return at_ == bytes_.size(); }
  std::uint8_t byte() {
    if (done()) throw std::runtime_error("MIDI data cut short");
    return bytes_[at_++];
  }
  std::uint32_t be(int n) {
    std::uint32_t value = 0;
    for (int i = 0; i < n; ++i) value = value << 8 | byte();
    return value;
  }
  std::uint32_t varLength() {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
      std::uint8_t b = byte();
      value = value << 7 | (b & 0x7F);
      if ((b & 0x80) == 0) return value;
    }
    throw std::runtime_error("a variable-length number past four bytes");
  }
  std::span<const std::uint8_t> take(std::size_t n) {
    if (bytes_.size() - at_ < n) throw std::runtime_error("MIDI data cut short");
    auto part = bytes_.subspan(at_, n);
    at_ += n;
    return part;
  }
  std::string id() {
    auto part = take(4);
    return {part.begin(), part.end()};
  }

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t at_ = 0;
};

// The data bytes a channel message of this status carries.
int dataBytes(std::uint8_t status) {
  switch (status & 0xF0) {
    case 0xC0:
    case 0xD0:
      return 1;
    default:
      return 2;
  }
}

std::vector<MidiEventRead> readTrack(std::span<const std::uint8_t> chunk) {
  Cursor in(chunk);
  std::vector<MidiEventRead> events;
  std::uint64_t tick = 0;
  for (;;) {
    if (in.done()) throw std::runtime_error("a track without End of Track");
    tick += in.varLength();
    MidiEventRead event{tick, in.byte(), 0, {}};
    if (event.status == 0xFF) {
      event.metaType = in.byte();
      auto data = in.take(in.varLength());
      event.data.assign(data.begin(), data.end());
    } else if (event.status >= 0x80 && event.status < 0xF0) {
      for (int i = 0; i < dataBytes(event.status); ++i) {
        event.data.push_back(in.byte());
        if (event.data.back() > 0x7F) throw std::runtime_error("a data byte past 127");
      }
    } else {
      // Running status and system exclusive messages are valid, but no
      // writer here makes them.
      throw std::runtime_error("an event that is neither a channel message nor a meta event");
    }
    events.push_back(event);
    if (event.status == 0xFF && event.metaType == 0x2F) {
      if (!event.data.empty() || !in.done()) {
        throw std::runtime_error("End of Track is not the track's last event");
      }
      return events;
    }
  }
}

}  // namespace

MidiFileRead readMidiFile(std::span<const std::uint8_t> bytes) {
  Cursor in(bytes);
  if (in.id() != "MThd" || in.be(4) != 6) throw std::runtime_error("not a MIDI file header");
  MidiFileRead file;
  file.format = static_cast<int>(in.be(2));
  std::uint32_t tracks = in.be(2);
  file.division = static_cast<int>(in.be(2));
  for (std::uint32_t t = 0; t < tracks; ++t) {
    if (in.id() != "MTrk") throw std::runtime_error("not a track chunk");
    file.tracks.push_back(readTrack(in.take(in.be(4))));
  }
  if (!in.done()) throw std::runtime_error("bytes after the last track");
  return file;
}

std::vector<MidiNoteRead> midiNotes(const MidiFileRead& file) {
  std::vector<MidiNoteRead> notes;
  for (std::size_t t = 0; t < file.tracks.size(); ++t) {
    std::map<int, int> program;                     // by channel
    std::map<std::pair<int, int>, std::size_t> on;  // by channel and key: index in notes
    for (const MidiEventRead& e : file.tracks[t]) {
      const int kind = e.status & 0xF0;
      const int channel = e.status & 0x0F;
      if (kind == 0xC0) program[channel] = e.data[0];
      if (kind != 0x80 && kind != 0x90) continue;
      const std::pair<int, int> key{channel, e.data[0]};
      if (kind == 0x90 && e.data[1] > 0) {
        if (on.count(key)) throw std::runtime_error("a key struck again while it sounds");
        auto p = program.find(channel);
        on[key] = notes.size();
        notes.push_back({e.tick, e.tick, static_cast<int>(t), channel, e.data[0], e.data[1],
                         p == program.end() ? -1 : p->second});
      } else {
        auto it = on.find(key);
        if (it == on.end()) throw std::runtime_error("a Note Off with no note");
        notes[it->second].end = e.tick;
        on.erase(it);
      }
    }
    if (!on.empty()) throw std::runtime_error("a note that never ends");
  }
  return notes;
}

std::string midiTrackName(const std::vector<MidiEventRead>& track) {
  for (const MidiEventRead& e : track) {
    if (e.status == 0xFF && e.metaType == 0x03) return {e.data.begin(), e.data.end()};
  }
  return "";
}

std::vector<std::pair<std::uint64_t, std::uint32_t>> midiTempos(
    const std::vector<MidiEventRead>& track) {
  std::vector<std::pair<std::uint64_t, std::uint32_t>> tempos;
  for (const MidiEventRead& e : track) {
    if (e.status != 0xFF || e.metaType != 0x51) continue;
    if (e.data.size() != 3) throw std::runtime_error("a tempo that is not three bytes");
    tempos.emplace_back(e.tick, e.data[0] << 16 | e.data[1] << 8 | e.data[2]);
  }
  return tempos;
}

}  // namespace zorvik::fixtures
