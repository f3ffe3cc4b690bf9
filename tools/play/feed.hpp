// The audio callback of zorvik play: it copies samples from the ring, or
// silence while paused, says which samples the device now plays, and wakes
// the render thread. It does no I/O, allocates nothing and takes no lock.
#pragma once

#include <atomic>
#include <cstdint>

#include "tools/play/clock.hpp"
#include "tools/play/renderer.hpp"
#include "tools/play/ring.hpp"

namespace zorvik::play {

struct Feed {
  SampleRing& ring;
  HeardClock& clock;
  Renderer& renderer;
  std::atomic<bool> paused{false};
  // The audio thread's own: the samples of the buffer filled last.
  std::uint64_t lastFirst = 0;
  std::uint32_t lastLength = 0;
};

// SDL's callback; userdata is the Feed.
void feedAudio(void* userdata, std::uint8_t* stream, int len);

}  // namespace zorvik::play
