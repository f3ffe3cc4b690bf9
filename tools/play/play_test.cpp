// zorvik play's parts: the keys, the view, the clock, and the audio feed,
// whose stream must be the song's exact stream and follow every change from
// the next device buffer on, with two real threads as under a sound card.

#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <thread>

#include "display/safe_text.hpp"
#include "display/screen.hpp"
#include "testing/fixtures.hpp"
#include "tools/play/clock.hpp"
#include "tools/play/feed.hpp"
#include "tools/play/keys.hpp"
#include "tools/play/view.hpp"

namespace zorvik::play {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

std::shared_ptr<const Deck> deckOf(const Song& song, const fixtures::SampleSet& samples,
                                   int index = 0) {
  auto deck = std::make_shared<Deck>();
  deck->index = index;
  deck->song = song;
  deck->bank = std::make_shared<const SampleBank>(fixtures::makeBank(samples));
  deck->pages = buildRollPages(song);
  return deck;
}

Song notes(std::uint8_t tempo, std::uint8_t instrument) {
  Song song = fixtures::emptySong(tempo, "Song", "Tester");
  for (int step = 0; step < kSteps; step += 2) song.cells[step][step % 3] = {3, instrument};
  return song;
}

FeedCommand command(FeedCommand::Kind kind, long long value = 0) {
  FeedCommand c;
  c.kind = kind;
  c.value = value;
  return c;
}

FeedCommand playing(FeedCommand::Kind kind, std::shared_ptr<const Deck> deck, std::uint64_t loops,
                    std::uint64_t serial, std::uint64_t forSerial = 0) {
  FeedCommand c;
  c.kind = kind;
  c.serial = forSerial;
  if (deck) c.playing = std::make_unique<Playing>(std::move(deck), loops, serial);
  return c;
}

// Buffers of the device's size, the clock told each one starts now.
std::vector<std::int16_t> buffers(Feed& feed, std::size_t count, std::size_t size = 4096) {
  std::vector<std::int16_t> out(count * size);
  for (std::size_t i = 0; i < count; ++i) {
    feed.fill(std::span(out).subspan(i * size, size), Clock::now());
  }
  return out;
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

TEST(View, FullWhenItFitsCompactWhenNotAndNeverWiderOrLongerThanTheTerminal) {
  Song song = fixtures::emptySong(100, "A rather long title, 31 bytes.", "Somebody Else Entirely");
  song.cells[7] = {SongCell{2, 0}, kNoNote, SongCell{20, 30}};
  auto deck = deckOf(song, fixtures::countingSamples(1));
  Status status;
  status.song = 2;
  status.songs = 3;
  status.loop = 1;
  status.seconds = 75;
  status.length = 140;
  status.paused = true;
  status.muted = 0b101;
  status.volume = -3;
  status.message = "bank x.zvi not found: playing the default bank";
  EXPECT_EQ(statusLine(status), "song 2/3 | loop 2 | 1:15 / 2:20 | paused | muted 1 3 | -3 dB");

  auto full = playView(*deck, 7, status, 80, 24);
  ASSERT_EQ(full.size(), 22u);
  auto screen = screenLines(song, deck->bank->header, deck->pages, 7, ScreenMode::Terminal);
  for (int i = 0; i < 20; ++i) EXPECT_EQ(full[i], screen[i]) << i;
  EXPECT_EQ(full[20], statusLine(status));
  EXPECT_EQ(full[21], status.message);

  auto compact = playView(*deck, 7, status, 40, 12);
  EXPECT_EQ(compact, (std::vector<std::string>{
                         "A rather long title, 31 bytes. by Somebo",
                         "step 8/96",
                         "1 C4a  2 ---  3 20:30",
                         "song 2/3 | loop 2 | 1:15 / 2:20 | paused",
                         "bank x.zvi not found: playing the defaul",
                     }));
  // However small: never more lines or columns than there are, and the
  // status line (at one line, the step and the status) always there.
  struct Size {
    int columns, lines;
    std::string first;
  } sizes[] = {{54, 30, "A rather long title"},
               {80, 22, "A rather long title"},
               {80, 5, "A rather long title"},
               {80, 4, "song 2/3"},
               {80, 2, "song 2/3"},
               {80, 1, "step 8 | song 2/3"},
               {20, 3, "song 2/3 | loop 2 | "},
               {10, 1, "step 8 | "},
               {1, 1, "s"}};
  for (const Size& s : sizes) {
    auto view = playView(*deck, 7, status, s.columns, s.lines);
    EXPECT_LE(view.size(), static_cast<std::size_t>(s.lines)) << s.columns << "x" << s.lines;
    ASSERT_FALSE(view.empty());
    EXPECT_TRUE(view[0].starts_with(s.first)) << s.columns << "x" << s.lines << ": " << view[0];
    for (const auto& line : view) EXPECT_LE(displayWidth(line), s.columns);
  }
}

TEST(View, WideCharactersTakeTwoColumns) {
  // A CJK title fills the compact view's width in columns, not in bytes
  // or characters: nothing wraps.
  Song song =
      fixtures::emptySong(100, "\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e\xe3\x81\xae\xe6\xad\x8c",
                          "\xe5\xb1\xb1\xe7\x94\xb0");  // 日本語の歌, 山田
  auto deck = deckOf(song, fixtures::countingSamples(1));
  for (int columns : {30, 12, 11, 3, 1}) {
    auto view = playView(*deck, 0, Status{}, columns, 8);
    for (const auto& line : view) EXPECT_LE(displayWidth(line), columns) << columns << ": " << line;
  }
  EXPECT_EQ(playView(*deck, 0, Status{}, 11, 8)[0],
            "\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e\xe3\x81\xae\xe6\xad\x8c ");
  EXPECT_EQ(playView(*deck, 0, Status{}, 12, 8)[0],
            "\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e\xe3\x81\xae\xe6\xad\x8c b");
  struct Case {
    std::string text;
    int width;
  } widths[] = {{"abc", 3},       {"K\xc3\xa4se", 4},      {"\xe6\x97\xa5", 2},
                {"e\xcc\x81", 1}, {"\xf0\x9f\x8e\xb5", 2}, {"", 0}};
  for (const Case& c : widths) EXPECT_EQ(displayWidth(c.text), c.width) << c.text;
  EXPECT_EQ(fitToWidth("K\xc3\xa4se", 2), "K\xc3\xa4");
  EXPECT_EQ(fitToWidth("\xe6\x97\xa5\xe6\x9c\xac", 3), "\xe6\x97\xa5");
}

TEST(View, TheStatusLineCountsTimeAndTheVolumeAsPeopleReadThem) {
  struct Case {
    std::uint64_t seconds, length;
    int volume;
    std::string expected;
  } cases[] = {
      {7, 14, 0, "song 1/1 | loop 1 | 0:07 / 0:14"},
      {3599, 0, 0, "song 1/1 | loop 1 | 59:59"},
      {3600, 0, 0, "song 1/1 | loop 1 | 1:00:00"},
      {3600 * 25 + 61, 0, 0, "song 1/1 | loop 1 | 25:01:01"},
      {0, 0, kPlayMaxGainDb, "song 1/1 | loop 1 | 0:00 | +20 dB (max)"},
      {0, 0, kPlayMinGainDb, "song 1/1 | loop 1 | 0:00 | -30 dB (min)"},
      {0, 0, 4, "song 1/1 | loop 1 | 0:00 | +4 dB"},
  };
  for (const Case& c : cases) {
    Status status;
    status.seconds = c.seconds;
    status.length = c.length;
    status.volume = c.volume;
    EXPECT_EQ(statusLine(status), c.expected);
  }
  EXPECT_LE(std::string_view(kKeysHelp).size(), static_cast<std::size_t>(kFullColumns));
}

TEST(HeardClock, CountsOnFromThePartPlayingAndStopsAtTheBuffersEnd) {
  HeardClock clock(1000);  // a sample a millisecond
  EXPECT_FALSE(clock.heard(Clock::now()).known);
  const auto start = Clock::now();
  HeardBuffer buffer;
  buffer.time = start.time_since_epoch().count();
  buffer.length = 100;
  buffer.parts = 2;
  buffer.part[0] = {0, 60, 7, 1000, 50};
  buffer.part[1] = {60, 40, 8, 0, 70};
  clock.publish(buffer);
  struct Case {
    int ms;
    std::uint64_t serial, played;
  } cases[] = {{0, 7, 1000}, {30, 7, 1030}, {59, 7, 1059}, {60, 8, 0}, {90, 8, 30}, {5000, 8, 39}};
  for (const Case& c : cases) {
    Heard heard = clock.heard(start + std::chrono::milliseconds(c.ms));
    EXPECT_TRUE(heard.known);
    EXPECT_EQ(heard.serial, c.serial) << c.ms;
    EXPECT_EQ(heard.played, c.played) << c.ms;
  }
}

TEST(Feed, PlaysTheExactStreamAndTheNextSongWithoutAGap) {
  const auto samples = fixtures::countingSamples(3000);
  const Song a = notes(255, 1), b = notes(254, 2);
  HeardClock clock(static_cast<int>(kSampleRate));
  Feed feed(clock);
  feed.send(playing(FeedCommand::Kind::Play, deckOf(a, samples), 1, 1));
  feed.send(playing(FeedCommand::Kind::Follow, deckOf(b, samples, 1), 1, 2, 1));
  const std::size_t loopA = kSteps * static_cast<std::size_t>(stepLength(255));
  const std::size_t loopB = kSteps * static_cast<std::size_t>(stepLength(254));
  const std::size_t count = (loopA + loopB) / 4096 + 2;
  std::vector<std::int16_t> out = buffers(feed, count);
  std::vector<std::int16_t> expected = fixtures::streamOf(a, samples, loopA);
  auto second = fixtures::streamOf(b, samples, loopB);
  expected.insert(expected.end(), second.begin(), second.end());
  expected.resize(out.size(), 0);  // then the playlist has ended: silence
  EXPECT_EQ(out, expected);
  // Until told what follows the second song, its end waits in silence;
  // told nothing does, the playlist ends, and the clock says so.
  feed.fill(std::span(out).first(4096), Clock::now());
  EXPECT_EQ(clock.heard(Clock::now() + 1s).serial, 2u);
  feed.send(playing(FeedCommand::Kind::Follow, nullptr, 0, 0, 2));
  feed.fill(std::span(out).first(4096), Clock::now());
  feed.fill(std::span(out).first(4096), Clock::now());
  EXPECT_EQ(clock.heard(Clock::now()).serial, 0u);
}

TEST(Feed, ChangesAreHeardFromTheNextBufferOn) {
  const auto samples = fixtures::countingSamples(3000);
  const Song song = notes(100, 1);
  const auto deck = deckOf(song, samples);
  const std::size_t perStep = static_cast<std::size_t>(stepLength(100));
  const std::size_t n = 10 * 4096;
  struct Case {
    const char* what;
    std::function<FeedCommand()> change;
    std::function<std::vector<std::int16_t>()> after;  // the stream from the change on
  } cases[] = {
      {"pause", [] { return command(FeedCommand::Kind::Pause, 1); },
       [] { return std::vector<std::int16_t>(4096 * 10, 0); }},
      {"mute channel 1", [] { return command(FeedCommand::Kind::Heard, 0b110); },
       [&] { return fixtures::streamOf(song, samples, n, 0b110, 4096); }},
      {"seek on 4 steps", [] { return command(FeedCommand::Kind::Seek, 4); },
       [&] {
         // From the start of step 4 (the buffer began in step 0), voices at rest.
         Playback reference(song, deck->bank, 0, 0);
         reference.seek({0, 4, 0});
         std::vector<std::int16_t> out(n);
         reference.fill(out);
         return out;
       }},
      {"reload, another play's",
       [&] {
         FeedCommand c;
         c.kind = FeedCommand::Kind::Reload;
         c.serial = 99;  // not the one playing: nothing changes
         c.deck = deckOf(notes(100, 5), samples);
         return c;
       },
       [&] { return fixtures::streamOf(song, samples, n, 0b111, 4096); }},
  };
  ASSERT_LT(4096u, perStep);
  for (const Case& c : cases) {
    HeardClock clock(static_cast<int>(kSampleRate));
    Feed feed(clock);
    feed.send(playing(FeedCommand::Kind::Play, deck, 0, 1));
    std::vector<std::int16_t> first = buffers(feed, 1);
    EXPECT_EQ(first, fixtures::streamOf(song, samples, 4096)) << c.what;
    feed.send(c.change());
    EXPECT_EQ(buffers(feed, 10), c.after()) << c.what;
  }
}

TEST(Feed, WhatItIsDoneWithIsFreedByTheMainThreadOnly) {
  const auto samples = fixtures::countingSamples(100);
  HeardClock clock(static_cast<int>(kSampleRate));
  Feed feed(clock);
  auto first = deckOf(notes(255, 1), samples);
  std::weak_ptr<const Deck> watch = first;
  feed.send(playing(FeedCommand::Kind::Play, std::move(first), 0, 1));
  buffers(feed, 2);
  feed.send(playing(FeedCommand::Kind::Play, deckOf(notes(255, 2), samples), 0, 2));
  buffers(feed, 2);
  EXPECT_FALSE(watch.expired()) << "freed by the callback";
  feed.collect();
  EXPECT_TRUE(watch.expired()) << "never freed";

  // A reload keeps the place and gives the old version back to be freed.
  auto old = deckOf(notes(250, 1), samples);
  std::weak_ptr<const Deck> oldWatch = old;
  feed.send(playing(FeedCommand::Kind::Play, std::move(old), 0, 3));
  buffers(feed, 3);
  FeedCommand reload;
  reload.kind = FeedCommand::Kind::Reload;
  reload.serial = 3;
  reload.deck = deckOf(notes(250, 2), samples);
  feed.send(std::move(reload));
  buffers(feed, 1);
  EXPECT_FALSE(oldWatch.expired());
  feed.collect();
  EXPECT_TRUE(oldWatch.expired());
  EXPECT_EQ(clock.heard(Clock::now()).serial, 3u);
}

TEST(Feed, TwoThreadsCommandsAsFastAsTheyComeWhileTheCallbackRenders) {
  // As under a sound card: one thread sends changes without a pause, the
  // other renders buffers. Run under ThreadSanitizer in make test.
  const auto samples = fixtures::countingSamples(2000);
  HeardClock clock(static_cast<int>(kSampleRate));
  Feed feed(clock);
  std::vector<std::shared_ptr<const Deck>> decks;
  decks.reserve(4);
  for (int i = 0; i < 4; ++i)
    decks.push_back(deckOf(notes(static_cast<std::uint8_t>(200 + i), 1), samples, i));
  feed.send(playing(FeedCommand::Kind::Play, decks[0], 0, 1));
  std::atomic<bool> stop{false};
  std::atomic<std::uint64_t> rendered{0};
  std::thread callback([&] {
    std::vector<std::int16_t> out(4096);
    while (!stop.load()) {
      feed.fill(out, Clock::now());
      rendered += out.size();
    }
  });
  std::mt19937 rng(5);
  std::uint64_t serial = 1, sent = 0;
  const auto until = Clock::now() + 2s;
  while (Clock::now() < until) {
    switch (rng() % 7) {
      case 0:
        feed.send(playing(FeedCommand::Kind::Play, decks[rng() % 4], rng() % 3, ++serial));
        break;
      case 1:
        feed.send(playing(FeedCommand::Kind::Follow, decks[rng() % 4], 1, serial + 1, serial));
        ++serial;
        break;
      case 2: {
        FeedCommand c;
        c.kind = FeedCommand::Kind::Reload;
        c.serial = serial;
        c.deck = decks[rng() % 4];
        feed.send(std::move(c));
        break;
      }
      case 3:
        feed.send(command(FeedCommand::Kind::Seek, static_cast<long long>(rng() % 9) - 4));
        break;
      case 4:
        feed.send(command(FeedCommand::Kind::Heard, rng() % 8));
        break;
      case 5: {
        FeedCommand c = command(FeedCommand::Kind::Gain);
        c.gain = static_cast<double>(rng() % 20) - 10.0;
        feed.send(std::move(c));
        break;
      }
      default:
        feed.send(command(FeedCommand::Kind::Pause, rng() % 2));
        break;
    }
    ++sent;
    if (sent % 16 == 0) feed.collect();
    const Heard heard = clock.heard(Clock::now());
    EXPECT_LE(heard.serial, serial + 1);
  }
  stop.store(true);
  callback.join();
  feed.collect();
  EXPECT_GT(sent, 1000u);
  EXPECT_GT(rendered.load(), 100'000u);
}

}  // namespace
}  // namespace zorvik::play
