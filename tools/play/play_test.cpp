// zorvik play's parts: the ring, the keys, the view, and the render thread's
// stream, which must be the song's exact stream whatever the ring's reader
// does, and follow every change from exactly where playing is.

#include <gtest/gtest.h>

#include <random>

#include "display/screen.hpp"
#include "engine/mixer.hpp"
#include "testing/fixtures.hpp"
#include "tools/play/clock.hpp"
#include "tools/play/renderer.hpp"
#include "tools/play/ring.hpp"
#include "tools/play/terminal.hpp"
#include "tools/play/view.hpp"

namespace zorvik::play {
namespace {

TEST(SampleRing, WrapsAndSkipsWhatIsNotPlayed) {
  SampleRing ring(8);
  std::vector<std::int16_t> out(8);
  EXPECT_EQ(ring.room(), 8u);
  ring.write(std::vector<std::int16_t>{1, 2, 3, 4, 5});
  EXPECT_EQ(ring.room(), 3u);
  EXPECT_EQ(ring.read(std::span(out).first(3)), 3u);
  EXPECT_EQ(out[0], 1);
  EXPECT_EQ(out[2], 3);
  ring.write(std::vector<std::int16_t>{6, 7, 8, 9, 10, 11});  // wraps
  EXPECT_EQ(ring.room(), 0u);
  EXPECT_EQ(ring.read(out), 8u);
  EXPECT_EQ(out, (std::vector<std::int16_t>{4, 5, 6, 7, 8, 9, 10, 11}));
  EXPECT_EQ(ring.readIndex(), 11u);
  // What is written after a skip replaces what the reader has not played.
  ring.write(std::vector<std::int16_t>{12, 13, 14});
  EXPECT_EQ(ring.skipUnplayed(), 11u);
  ring.write(std::vector<std::int16_t>{-1, -2});
  EXPECT_EQ(ring.read(out), 2u);
  EXPECT_EQ(out[0], -1);
  EXPECT_EQ(out[1], -2);
  EXPECT_EQ(ring.readIndex(), 16u);
}

TEST(HeardClock, CountsOnFromTheBufferPlayingAndStopsAtItsEnd) {
  HeardClock clock(1000);
  auto t0 = std::chrono::steady_clock::time_point(std::chrono::seconds(100));
  EXPECT_EQ(clock.heard(t0), 0u);
  clock.publish(4096, 500, t0);
  const std::pair<int, std::uint64_t> cases[] = {{-5, 4096},  {0, 4096},   {100, 4196},
                                                 {499, 4595}, {500, 4596}, {5000, 4596}};
  for (auto [ms, heard] : cases) {
    EXPECT_EQ(clock.heard(t0 + std::chrono::milliseconds(ms)), heard) << ms;
  }
  clock.publish(4596, 0, t0 + std::chrono::seconds(1));  // paused: no samples
  EXPECT_EQ(clock.heard(t0 + std::chrono::seconds(9)), 4596u);
}

TEST(Keys, DecodedFromWhatTheTerminalSends) {
  struct Case {
    std::string bytes;
    bool more;
    Key key;
    std::size_t used;
  } cases[] = {
      {" ", true, Key::Space, 1},        {"q", true, Key::Quit, 1},
      {"n", true, Key::Next, 1},         {"p", true, Key::Previous, 1},
      {"1", true, Key::Mute1, 1},        {"3", true, Key::Mute3, 1},
      {"+", true, Key::Louder, 1},       {"=", true, Key::Louder, 1},
      {"-", true, Key::Softer, 1},       {"?", true, Key::Help, 1},
      {"\x1b[C", true, Key::Forward, 3}, {"\x1b[D", true, Key::Back, 3},
      {"\x1bOC", true, Key::Forward, 3}, {"\x1b[1;5D", true, Key::Back, 6},
      {"\x1b[A", true, Key::Other, 3},   {"\x1b", true, Key::None, 0},  // wait for more
      {"\x1b", false, Key::Quit, 1},     {"\x1b[", true, Key::None, 0},
      {"\x1bx", true, Key::Quit, 1},     {"x", true, Key::Other, 1},
      {"", true, Key::None, 0},
  };
  for (const auto& c : cases) {
    auto [key, used] = decodeKey(c.bytes, c.more);
    EXPECT_EQ(key, c.key) << c.bytes;
    EXPECT_EQ(used, c.used) << c.bytes;
  }
}

std::shared_ptr<Deck> deckOf(const Song& song, const fixtures::SampleSet& samples, int index = 0) {
  auto deck = std::make_shared<Deck>();
  deck->index = index;
  deck->song = song;
  deck->bank = fixtures::makeBank(samples);
  deck->pages = buildRollPages(song);
  return deck;
}

TEST(View, FullWhenItFitsCompactWhenNotAndNeverWiderThanTheTerminal) {
  Song song = fixtures::emptySong(100, "A rather long title, 31 bytes.", "Somebody Else Entirely");
  song.cells[7] = {SongCell{2, 0}, kNoNote, SongCell{20, 30}};
  auto deck = deckOf(song, fixtures::countingSamples(1));
  Status status;
  status.song = 2;
  status.songs = 3;
  status.loop = 1;
  status.seconds = 75;
  status.paused = true;
  status.muted = 0b101;
  status.volume = -3;
  status.message = "bank x.zvi not found: playing the default bank";
  EXPECT_EQ(statusLine(status), "song 2/3 | loop 2 | 1:15 | paused | muted 1 3 | -3 dB");

  auto full = playView(*deck, 7, status, 80, 24);
  ASSERT_EQ(full.size(), 22u);
  auto screen = screenLines(song, deck->bank.header, deck->pages, 7, ScreenMode::Terminal);
  for (int i = 0; i < 20; ++i) EXPECT_EQ(full[i], screen[i]) << i;
  EXPECT_EQ(full[20], statusLine(status));
  EXPECT_EQ(full[21], status.message);

  auto compact = playView(*deck, 7, status, 40, 12);
  EXPECT_EQ(compact, (std::vector<std::string>{
                         "A rather long title, 31 bytes. by Somebo",
                         "step 8/96",
                         "1 C4a  2 ---  3 20:30",
                         "song 2/3 | loop 2 | 1:15 | paused | mute",
                         "bank x.zvi not found: playing the defaul",
                     }));
  for (auto [columns, lines] : {std::pair{54, 30}, {80, 22}, {20, 3}, {10, 1}, {1, 1}}) {
    auto view = playView(*deck, 7, status, columns, lines);
    EXPECT_LE(view.size(), static_cast<std::size_t>(lines)) << columns << "x" << lines;
    for (const auto& line : view) EXPECT_LE(line.size(), static_cast<std::size_t>(columns));
  }
  EXPECT_EQ(playView(*deck, 7, status, 20, 2)[0], "song 2/3 | loop 2 | ");
  // Cut between characters, not inside one.
  EXPECT_EQ(fitted("K\xc3\xa4se", 2), "K\xc3\xa4");
  EXPECT_EQ(fitted("K\xc3\xa4se", 1), "K");
}

// What the reader gets, n samples at a time.
std::vector<std::int16_t> readAll(SampleRing& ring, Renderer& renderer, std::size_t total,
                                  std::size_t n) {
  std::vector<std::int16_t> out;
  std::vector<std::int16_t> block(n);
  while (out.size() < total) {
    renderer.fill();
    std::size_t got = ring.read(std::span(block).first(std::min(n, total - out.size())));
    if (got == 0) break;
    out.insert(out.end(), block.begin(), block.begin() + static_cast<std::ptrdiff_t>(got));
  }
  return out;
}

struct Songs {
  std::mt19937 rng{5};
  Song a = fixtures::randomSong(rng);
  Song b = fixtures::randomSong(rng);
  fixtures::SampleSet samples;
  Songs() {
    a.tempo = 255;
    b.tempo = 240;
    for (auto& s : samples) {
      s.resize(rng() % 5000);
      for (auto& v : s) v = static_cast<std::int16_t>(rng());
    }
  }
};

TEST(Renderer, TheStreamIsExactAndSongsFollowWithoutAGap) {
  Songs s;
  SampleRing ring(1 << 14);
  Renderer renderer(ring);
  auto a = deckOf(s.a, s.samples, 0);
  renderer.play(a, 2);
  renderer.queue(a, deckOf(s.b, s.samples, 1), 1);
  const std::size_t loopA = 96 * static_cast<std::size_t>(stepLength(255));
  const std::size_t loopB = 96 * static_cast<std::size_t>(stepLength(240));
  // Read in parts, asking what is heard near where the reader is.
  std::vector<std::int16_t> got = readAll(ring, renderer, loopA + 2 * 2353 + 6, 4096);
  Heard h = renderer.at(loopA + 2 * 2353 + 5);
  EXPECT_EQ(h.deck->index, 0);
  EXPECT_EQ(h.step, 2);
  EXPECT_EQ(h.loop, 1);
  EXPECT_EQ(h.songSample, loopA + 2 * 2353 + 5);
  auto more = readAll(ring, renderer, loopA - 2 * 2353 - 6 + 10 * 2510 + 1, 1000);
  got.insert(got.end(), more.begin(), more.end());
  h = renderer.at(2 * loopA + 10 * 2510);
  EXPECT_EQ(h.deck->index, 1);
  EXPECT_EQ(h.step, 10);
  EXPECT_EQ(h.loop, 0);
  EXPECT_FALSE(h.ended);
  more = readAll(ring, renderer, loopB, 333);  // more than is left
  got.insert(got.end(), more.begin(), more.end());
  ASSERT_EQ(got.size(), 2 * loopA + loopB);  // then the playlist ends
  EXPECT_TRUE(renderer.at(2 * loopA + loopB).ended);
  auto first = fixtures::streamOf(s.a, s.samples, 2 * loopA);
  auto second = fixtures::streamOf(s.b, s.samples, loopB);
  EXPECT_TRUE(std::equal(first.begin(), first.end(), got.begin()));
  EXPECT_TRUE(std::equal(second.begin(), second.end(),
                         got.begin() + static_cast<std::ptrdiff_t>(2 * loopA)));
}

TEST(Renderer, ChangesTakeEffectExactlyWherePlayingIs) {
  Songs s;
  SampleRing ring(1 << 14);
  Renderer renderer(ring);
  renderer.play(deckOf(s.a, s.samples), 0);
  auto first = readAll(ring, renderer, 10000, 1000);  // the ring holds more than this
  // Muting channel 2 replaces what was not played: from sample 10000 on,
  // channel 2 is not heard; the voices went on all the same.
  renderer.setMuted(0b010);
  auto muted = readAll(ring, renderer, 5000, 700);
  EXPECT_EQ(first, fixtures::streamOf(s.a, s.samples, 10000));
  EXPECT_EQ(muted, fixtures::streamOf(s.a, s.samples, 5000, 0b101, 10000));
  renderer.setMuted(0);
  EXPECT_EQ(readAll(ring, renderer, 3000, 3000),
            fixtures::streamOf(s.a, s.samples, 3000, kAllChannels, 15000));

  // A seek of four steps on: at 18000 the player is in step 7 (2353 each);
  // step 11 starts its notes as if playing had reached it.
  renderer.seek(4);
  SampleBank bank = fixtures::makeBank(s.samples);
  Player from11(s.a.tempo, s.a, bank);
  jumpToStep(from11, 11);
  std::vector<std::int16_t> expected(2000);
  for (auto& v : expected) v = nextSample(from11);
  EXPECT_EQ(readAll(ring, renderer, 2000, 512), expected);
  // The ring's numbers went on past what was replaced; at the first new
  // sample, step 11 is heard.
  Heard h = renderer.at(ring.readIndex() - 2000);
  EXPECT_EQ(h.step, 11);
  EXPECT_EQ(h.songSample, 11u * 2353);

  // +6 dB: twice as loud, limited at full scale.
  renderer.setGain(6);
  auto louder = readAll(ring, renderer, 1000, 1000);
  for (std::size_t i = 0; i < 1000; ++i) {
    double v = std::round(nextSample(from11) * std::pow(10.0, 6 / 20.0));
    EXPECT_EQ(louder[i], std::clamp(v, -32768.0, 32767.0)) << i;
  }
}

TEST(Renderer, ChangesNearTheEndOfASongKeepTheNextOne) {
  // A change just before a song's end goes back to a snapshot from before
  // the render thread passed that end: the next song must still follow.
  Songs s;
  const std::size_t loopA = 96 * static_cast<std::size_t>(stepLength(255));
  struct Case {
    const char* what;
    void (*change)(Renderer&, const std::shared_ptr<const Deck>&);
  } cases[] = {
      {"mute", [](Renderer& r, const std::shared_ptr<const Deck>&) { r.setMuted(1); }},
      {"volume", [](Renderer& r, const std::shared_ptr<const Deck>&) { r.setGain(-3); }},
      {"reload", [](Renderer& r, const std::shared_ptr<const Deck>& d) { r.reload(d); }},
  };
  for (const auto& c : cases) {
    SampleRing ring(1 << 15);
    Renderer renderer(ring);
    auto a = deckOf(s.a, s.samples, 0);
    auto b = deckOf(s.b, s.samples, 1);
    renderer.play(a, 1);
    renderer.queue(a, b, 1);
    readAll(ring, renderer, loopA - 500, 4096);  // the thread has rendered past the end
    c.change(renderer, a);
    readAll(ring, renderer, 1000, 1000);
    Heard h = renderer.at(ring.readIndex() - 1);
    ASSERT_TRUE(h.deck) << c.what;
    EXPECT_EQ(h.deck->index, 1) << c.what;
    EXPECT_FALSE(h.ended) << c.what;
  }
}

TEST(Renderer, SeeksGoAcrossLoopsAndSongs) {
  Songs s;
  const std::size_t step = stepLength(255);
  struct Case {
    const char* what;
    std::size_t at;  // samples played before the seek
    int steps;
    int loops;
    int step, loop, song;  // heard after it
  } cases[] = {
      {"on within a loop", 5 * step + 7, 4, 0, 9, 0, 0},
      {"back from the start stops at it", 2 * step, -4, 0, 0, 0, 0},
      {"back across a loop's start", 96 * step + 2 * step, -4, 0, 94, 0, 0},
      {"on across a loop's start", 94 * step, 4, 0, 2, 1, 0},
      {"on past the last loop: the next song", 94 * step, 4, 1, 0, 0, 1},
  };
  for (const auto& c : cases) {
    SampleRing ring(1 << 15);
    Renderer renderer(ring);
    auto a = deckOf(s.a, s.samples, 0);
    renderer.play(a, c.loops);
    renderer.queue(a, deckOf(s.b, s.samples, 1), 0);
    readAll(ring, renderer, c.at, 512);
    renderer.seek(c.steps);
    readAll(ring, renderer, 1, 1);
    Heard h = renderer.at(ring.readIndex() - 1);
    ASSERT_TRUE(h.deck) << c.what;
    EXPECT_EQ(h.step, c.step) << c.what;
    EXPECT_EQ(h.loop, c.loop) << c.what;
    EXPECT_EQ(h.deck->index, c.song) << c.what;
  }
}

TEST(Renderer, ChangesWhilePausedFitTheRing) {
  // Paused, the reader takes no samples, but takes what replaced the ones
  // it has not played: however many changes come, the ring has room and
  // what is heard follows them.
  Songs s;
  SampleRing ring(1 << 15);
  Renderer renderer(ring);
  renderer.play(deckOf(s.a, s.samples), 0);
  readAll(ring, renderer, 10 * 2353, 4096);
  for (int i = 0; i < 12; ++i) {
    renderer.seek(4);
    ring.read({});  // what the paused callback does
  }
  EXPECT_EQ(renderer.at(ring.readIndex()).step, 10 + 48);
  EXPECT_GE(ring.ahead(), 3u * 4096);
}

TEST(Renderer, AReloadGoesOnAtTheSamePlace) {
  Songs s;
  SampleRing ring(1 << 14);
  Renderer renderer(ring);
  renderer.play(deckOf(s.a, s.samples), 0);
  readAll(ring, renderer, 3 * 2353 + 100, 4096);  // into step 3, by 100 + what the reader took
  std::uint64_t at = ring.readIndex();
  Song edited = s.a;
  edited.title = makeTextField("Edited");
  renderer.reload(deckOf(edited, s.samples));
  Heard h = renderer.at(ring.writeIndex() - 1);
  EXPECT_EQ(textOf(h.deck->song.title), "Edited");
  Heard now = renderer.at(at);
  EXPECT_EQ(now.step, static_cast<int>(at / 2353));
}

}  // namespace
}  // namespace zorvik::play
