// Throughput of the engine's two paths on a busy song: every step starts
// notes on all three channels at mixed pitch rows, on samples long enough
// that all three voices sound all the time.

#include <benchmark/benchmark.h>
#include <zorvik/zorvik.h>

#include <vector>

#include "bench/busy_song.hpp"
#include "engine/block_mixer.hpp"
#include "engine/mixer.hpp"
#include "engine/sequencer.hpp"
#include "testing/fixtures.hpp"

namespace zorvik {
namespace {

struct BusySong {
  Song song = bench::busySong(100);
  SampleBank bank = fixtures::makeBank(bench::busySamples());
};

void perSample(benchmark::State& state) {
  BusySong busy;
  Player player(busy.song.tempo, busy.song, busy.bank);
  for (auto _ : state) {
    for (int i = 0; i < 4096; ++i) benchmark::DoNotOptimize(nextSample(player));
  }
  state.SetItemsProcessed(state.iterations() * 4096);
}
BENCHMARK(perSample)->Name("nextSample (per-sample path)");

void block(benchmark::State& state) {
  BusySong busy;
  Player player(busy.song.tempo, busy.song, busy.bank);
  std::vector<std::int16_t> buffer(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    std::size_t done = 0;
    while (done < buffer.size()) done += renderBlock(player, std::span(buffer).subspan(done));
    benchmark::DoNotOptimize(buffer.data());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(block)->Name("renderBlock (block path)")->Arg(4096)->Arg(65536);

// libzorvik's zorvik_player_render, through the shared library, in the
// blocks a program would ask for.
void api(benchmark::State& state) {
  auto song = fixtures::songFile(bench::busySong(100));
  auto bank = fixtures::bankFile(bench::busySamples());
  zorvik_player* player =
      zorvik_player_new(song.data(), song.size(), bank.data(), bank.size(), nullptr, 0);
  std::vector<std::int16_t> buffer(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    zorvik_player_render(player, buffer.data(), buffer.size());
    benchmark::DoNotOptimize(buffer.data());
  }
  zorvik_player_free(player);
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(api)->Name("zorvik_player_render (libzorvik)")->Arg(128)->Arg(4096);

// One whole loop at tempo 0: 57.6 million samples, 30 minutes of audio.
void slowestLoop(benchmark::State& state) {
  BusySong busy;
  busy.song.tempo = 0;
  std::vector<std::int16_t> buffer(65536);
  for (auto _ : state) {
    Player player(busy.song.tempo, busy.song, busy.bank);
    std::int64_t total = 96LL * player.samplesPerStep;
    for (std::int64_t done = 0; done < total;) {
      auto want = static_cast<std::size_t>(std::min<std::int64_t>(total - done, 65536));
      done += static_cast<std::int64_t>(renderBlock(player, std::span(buffer).first(want)));
    }
    benchmark::DoNotOptimize(buffer.data());
    state.SetItemsProcessed(total);
  }
}
BENCHMARK(slowestLoop)->Name("one loop at tempo 0")->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace zorvik

BENCHMARK_MAIN();
