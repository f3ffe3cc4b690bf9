// The C API's MIDI file of a song.

#include <cstring>
#include <vector>

#include "api_support.hpp"
#include "engine/sequencer.hpp"
#include "engine/song_midi.hpp"
#include "formats/bank.hpp"
#include "formats/song_input.hpp"
#include "zorvik/zorvik.h"

using namespace zorvik;
using namespace zorvik::api;

extern "C" {

size_t zorvik_song_midi(const void* song, size_t song_size, const void* bank, size_t bank_size,
                        unsigned loops, uint8_t* out, size_t size, char* error, size_t error_size) {
  std::size_t length = 0;
  reporting(error, error_size, [&] {
    Song s = readSongOrText(MemorySource(bytesOf(song, song_size)));
    SampleBank b = readSampleBank(MemorySource(bytesOf(bank, bank_size)));
    const std::uint64_t loopLength = std::uint64_t{kSteps} * stepLength(s.tempo);
    std::vector<std::uint8_t> file = songMidiFile(s, b, std::max(loops, 1u) * loopLength);
    if (out != nullptr && file.size() <= size) std::memcpy(out, file.data(), file.size());
    length = file.size();
  });
  return length;
}

}  // extern "C"
