#include "tools/play/feed.hpp"

#include <cstring>

#include "app/audio.hpp"

namespace zorvik::play {

void feedAudio(void* userdata, std::uint8_t* stream, int len) {
  Feed& feed = *static_cast<Feed*>(userdata);
  // The buffer filled last time is the one the device plays from now on.
  feed.clock.publish(feed.lastFirst, feed.lastLength, std::chrono::steady_clock::now());
  const std::size_t wanted = len > 0 ? static_cast<std::size_t>(len) / 2 : 0;
  std::size_t got = 0;
  if (feed.paused.load(std::memory_order_acquire)) {
    feed.ring.read({});  // takes what replaced the unplayed samples, reads none
  } else {
    std::int16_t block[kDeviceBufferSamples];  // a whole device buffer at once
    while (got < wanted) {
      std::size_t n = feed.ring.read(
          std::span(block).first(std::min<std::size_t>(wanted - got, kDeviceBufferSamples)));
      for (std::size_t i = 0; i < n; ++i) {
        auto v = static_cast<std::uint16_t>(block[i]);
        stream[2 * (got + i)] = static_cast<std::uint8_t>(v);
        stream[2 * (got + i) + 1] = static_cast<std::uint8_t>(v >> 8);
      }
      got += n;
      if (n == 0) break;  // the render thread is behind, or the playlist has ended
    }
  }
  std::memset(stream + 2 * got, 0, 2 * (wanted - got));
  feed.lastFirst = feed.ring.readIndex() - got;
  feed.lastLength = static_cast<std::uint32_t>(got);
  feed.renderer.wake();
}

}  // namespace zorvik::play
