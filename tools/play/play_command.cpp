// zorvik play: plays songs one after another, with keys to pause, seek,
// skip, mute and change the volume, a screen drawn at the pace the music is
// heard, and the song reloaded when it changes on disk (--watch).

#include <algorithm>
#include <chrono>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "display/safe_text.hpp"
#include "display/screen.hpp"
#include "engine/playback.hpp"
#include "platform/audio_device.hpp"
#include "platform/os.hpp"
#include "platform/terminal.hpp"
#include "tools/bank_search.hpp"
#include "tools/command.hpp"
#include "tools/play/clock.hpp"
#include "tools/play/deck.hpp"
#include "tools/play/feed.hpp"
#include "tools/play/keys.hpp"
#include "tools/play/view.hpp"

namespace zorvik::tool {

namespace {

using namespace zorvik::play;
using Clock = std::chrono::steady_clock;

constexpr OptionSpec kOptions[] = {
    {"loops", 'l', "N",
     "play each song N times through, then the next\n(default: one song for ever, several once "
     "each)"},
    {"bank", 'b', "FILE", "play every song with this bank"},
    {"watch", 'w', "",
     "reload a song or its bank when it changes on disk,\nand play on at the same step"},
    {"quiet", 'q', "", "no screen, no messages but errors"},
};

constexpr CommandSpec kSpec{
    "play",
    "SONG...",
    "play songs, with keys to pause, seek, skip and mute",
    "Plays songs (.zvo files or song texts, told apart by their content) one after\n"
    "another through the sound card, and shows the player's screen with the\n"
    "playhead on the step being heard and a status line. After the last song it\n"
    "ends with status 0.\n"
    "\n"
    "Keys: space pause and resume; q or Esc quit; n and p the next and previous\n"
    "song; left and right four steps back and on; 1, 2 and 3 mute and unmute a\n"
    "channel; + (or =) and - the volume in 1 dB steps; ? shows the keys.\n"

    "\n"
    "When standard output is not a terminal there is no screen and no key: one line\n"
    "says what each song is, and each plays once unless --loops says otherwise.\n"
    "Unpaused, unmuted, at 0 dB and not moved, the sound is exactly what 'zorvik\n"
    "render' writes. When a song does not load, the others play and the exit\n"
    "status is 1.\n",
    kOptions,
    1,
    1u << 20,
    kBankSearchHelp};

// --watch looks this often, and reloads a file once it has not changed
// for kSettle: an editor that writes in parts is never read half way.
constexpr auto kWatchEvery = std::chrono::milliseconds(25);
constexpr auto kSettle = std::chrono::milliseconds(100);
constexpr auto kKeyWait = std::chrono::milliseconds(10);

class Session {
 public:
  Session(std::vector<std::string> songs, BankChoice bank, std::uint64_t loops, bool quiet,
          bool watch)
      : songs_(std::move(songs)),
        bank_(std::move(bank)),
        loops_(loops),
        quiet_(quiet),
        watch_(watch),
        terminal_({.screen = !quiet,
                   .keys = std::find(songs_.begin(), songs_.end(), "-") == songs_.end()}),
        clock_(static_cast<int>(kSampleRate)),
        feed_(clock_) {}

  int run();

 private:
  // The first song from `index` on that loads, in `step` direction; null
  // when none does. Songs that do not load are said so.
  std::shared_ptr<const Deck> loadFrom(int index, int step);
  void reportError(const std::string& message);
  // Shows an error in the status line until `until`.
  void showError(std::string message, Clock::time_point until = Clock::time_point::max()) {
    error_ = std::move(message);
    errorUntil_ = until;
  }
  // Plays a song now, as a play of its own.
  void play(std::shared_ptr<const Deck> deck);
  void onKey(Key key, const Deck& heard);
  void onSongHeard(std::uint64_t serial, const Deck& deck);
  void startAudio();
  void watchFiles(std::uint64_t serial, const Deck& deck);
  void draw(const std::shared_ptr<const Deck>& deck, const Heard& heard);
  Key nextKey();

  std::vector<std::string> songs_;
  BankChoice bank_;
  std::uint64_t loops_;
  bool quiet_;
  bool watch_;
  platform::Terminal terminal_;
  HeardClock clock_;
  Feed feed_;
  // Stops the device before what its callback reads is destroyed, on every
  // way out of run().
  struct AudioStop {
    bool started = false;
    ~AudioStop() {
      if (started) platform::stopAudio();
    }
  } audio_;
  std::string keyBytes_;  // read but not yet made keys

  // The plays sent to the callback, by serial, as long as they may be heard.
  std::map<std::uint64_t, std::shared_ptr<const Deck>> plays_;
  std::uint64_t lastSerial_ = 0;      // the play made last
  std::uint64_t lastPlaySerial_ = 0;  // the play last asked to play now
  std::uint64_t heardSerial_ = 0;     // the play heard last
  bool failed_ = false;               // some song did not load: the exit status is 1
  bool quit_ = false;
  bool paused_ = false;
  bool help_ = false;
  bool silent_ = false;  // no sound device
  unsigned muted_ = 0;
  int volume_ = 0;
  int chosen_ = -1;    // the song last asked for, or heard since
  std::string error_;  // the error to show, until errorUntil_
  Clock::time_point errorUntil_;
  std::vector<std::string> errors_;  // said on standard error at the end, each once
  // --watch: the change seen last and since when, and the one that failed.
  struct Seen {
    std::optional<FileStamp> song;
    BankLookup bank;
    friend bool operator==(const Seen&, const Seen&) = default;
  };
  std::optional<Seen> pending_;
  Clock::time_point pendingSince_;
  std::optional<Seen> failedSeen_;
  bool gone_ = false;  // the song's file is gone; the error says so
  Clock::time_point nextWatch_;
  // What the screen shows: drawn again only when that changes, or when the
  // terminal asks for it. The deck is held so that its address stays its own.
  struct Shown {
    std::shared_ptr<const Deck> deck;
    int step = -1;
    Status status;
    platform::Terminal::Size size{0, 0};
    friend bool operator==(const Shown&, const Shown&) = default;
  };
  Shown shown_;
};

// A song that did not load is said for a few seconds; the song that plays
// is shown all the while.
constexpr auto kLoadErrorShown = std::chrono::seconds(5);

void Session::reportError(const std::string& message) {
  failed_ = true;
  showError(message, Clock::now() + kLoadErrorShown);
  // On the screen it shows in the status line; the screen goes with the
  // alternate buffer, so it is said again once the terminal is back.
  if (terminal_.drawsScreen()) {
    if (std::find(errors_.begin(), errors_.end(), message) == errors_.end()) {
      errors_.push_back(message);
    }
  } else {
    tool::say(message);
  }
}

std::shared_ptr<const Deck> Session::loadFrom(int index, int step) {
  for (int i = index; i >= 0 && i < static_cast<int>(songs_.size()); i += step) {
    try {
      return loadDeck(i, songs_[static_cast<std::size_t>(i)], bank_);
    } catch (const Error& e) {
      reportError(e.what());
    }
  }
  return nullptr;
}

void Session::play(std::shared_ptr<const Deck> deck) {
  const std::uint64_t serial = ++lastSerial_;
  lastPlaySerial_ = serial;
  plays_[serial] = deck;
  chosen_ = deck->index;
  FeedCommand command;
  command.kind = FeedCommand::Kind::Play;
  command.playing = std::make_unique<Playing>(std::move(deck), loops_, serial);
  feed_.send(std::move(command));
}

void Session::onSongHeard(std::uint64_t serial, const Deck& deck) {
  heardSerial_ = serial;
  // Until the song asked for is heard, n and p go on from it.
  if (serial >= lastPlaySerial_) chosen_ = deck.index;
  // Only what may still be heard is kept: this play and those sent since.
  std::erase_if(plays_, [&](const auto& play) { return play.first < serial; });
  if (!terminal_.drawsScreen() && !quiet_) {
    std::cout << "Playing: " << showText(textOf(deck.song.title), TextStyle::Escaped) << " by "
              << showText(textOf(deck.song.author), TextStyle::Escaped) << ", bank "
              << showText(textOf(deck.bank->header.name), TextStyle::Escaped) << std::endl;
  }
  // The next song waits in line, to follow without a gap.
  FeedCommand command;
  command.kind = FeedCommand::Kind::Follow;
  command.serial = serial;
  if (auto next = loadFrom(deck.index + 1, 1)) {
    const std::uint64_t nextSerial = ++lastSerial_;
    plays_[nextSerial] = next;
    command.playing = std::make_unique<Playing>(std::move(next), loops_, nextSerial);
  }
  feed_.send(std::move(command));
}

void Session::onKey(Key key, const Deck& heard) {
  FeedCommand command;
  switch (key) {
    case Key::Space:
      paused_ = !paused_;
      command.kind = FeedCommand::Kind::Pause;
      command.value = paused_ ? 1 : 0;
      feed_.send(std::move(command));
      break;
    case Key::Quit:
      quit_ = true;
      break;
    case Key::Next:
    case Key::Previous: {
      // From the song last asked for: what is heard follows a moment later.
      int from = std::max(chosen_, heard.index);
      auto deck = key == Key::Next ? loadFrom(from + 1, 1) : loadFrom(std::max(from - 1, 0), -1);
      if (!deck && key == Key::Next) {
        quit_ = true;  // past the last song
      } else if (deck) {
        play(std::move(deck));
      }
      break;
    }
    case Key::Back:
    case Key::Forward:
      command.kind = FeedCommand::Kind::Seek;
      command.value = key == Key::Back ? -4 : 4;
      feed_.send(std::move(command));
      break;
    case Key::Mute1:
    case Key::Mute2:
    case Key::Mute3:
      muted_ ^= 1u << (key == Key::Mute1 ? 0 : key == Key::Mute2 ? 1 : 2);
      command.kind = FeedCommand::Kind::Heard;
      command.value = kAllChannels & ~muted_;
      feed_.send(std::move(command));
      break;
    case Key::Louder:
    case Key::Softer:
      volume_ = std::clamp(volume_ + (key == Key::Louder ? 1 : -1), kPlayMinGainDb, kPlayMaxGainDb);
      command.kind = FeedCommand::Kind::Gain;
      command.gain = volume_;
      feed_.send(std::move(command));
      break;
    case Key::Help:
      help_ = !help_;
      break;
    case Key::None:
    case Key::Other:
      break;
  }
}

void Session::watchFiles(std::uint64_t serial, const Deck& deck) {
  // Only the song heard, and only once a song asked for is heard: a
  // reload never undoes a change of song.
  if (!watch_ || deck.songPath == "-" || serial < lastPlaySerial_ || Clock::now() < nextWatch_) {
    return;
  }
  const auto now = Clock::now();
  nextWatch_ = now + kWatchEvery;
  auto look = [&] {
    return Seen{stampOf(deck.songFile), lookUpBank(deck.songFile, deck.song, bank_)};
  };
  const Seen seen = look();
  const Seen loaded{deck.songStamp, {deck.bankPath, !deck.missingBank.empty(), deck.bankStamp}};
  if (!seen.song) {
    showError(showText(deck.songPath, TextStyle::Escaped) + " is gone: playing the last version");
    gone_ = true;
    pending_.reset();
    return;
  }
  if (gone_) {
    gone_ = false;
    error_.clear();
  }
  if (seen == loaded || seen == failedSeen_) {
    pending_.reset();
    return;
  }
  if (!pending_ || *pending_ != seen) {
    pending_ = seen;
    pendingSince_ = now;
    return;
  }
  if (now - pendingSince_ < kSettle) return;
  pending_.reset();
  std::shared_ptr<const Deck> fresh;
  try {
    fresh = loadDeck(deck.index, deck.songPath, bank_, &deck);
  } catch (const Error& e) {
    // The last good version plays on; the files are tried again once they
    // change again.
    showError(std::string(e.what()) + " (playing the last good version)");
    failedSeen_ = seen;
    return;
  }
  // Changed while it was read: read again once it settles.
  if (look() != seen) return;
  error_.clear();
  failedSeen_.reset();
  plays_[serial] = fresh;
  FeedCommand command;
  command.kind = FeedCommand::Kind::Reload;
  command.serial = serial;
  command.deck = std::move(fresh);
  feed_.send(std::move(command));
}

void Session::draw(const std::shared_ptr<const Deck>& shownDeck, const Heard& heard) {
  if (!terminal_.drawsScreen()) return;
  const Deck& deck = *shownDeck;
  const std::int32_t perStep =
      heard.samplesPerStep > 0 ? heard.samplesPerStep : stepLength(deck.song.tempo);
  const PlayPosition at = positionAt(heard.played, perStep);
  const std::uint64_t loop = std::uint64_t{kSteps} * static_cast<std::uint64_t>(perStep);
  Status status;
  status.song = deck.index + 1;
  status.songs = static_cast<int>(songs_.size());
  status.loop = at.loop;
  status.seconds = heard.played / kSampleRate;
  status.length = ((loops_ == 0 ? 1 : loops_) * loop + kSampleRate / 2) / kSampleRate;
  status.paused = paused_;
  status.muted = muted_;
  status.volume = volume_;
  if (help_) {
    status.message = kKeysHelp;
  } else if (!error_.empty() && Clock::now() < errorUntil_) {
    status.message = error_;
  } else if (!deck.missingBank.empty()) {
    status.message = "bank " + showText(deck.missingBank, TextStyle::Escaped) +
                     " not found: playing the default bank";
  } else if (silent_) {
    status.message = "no sound device: playing silently";
  } else if (terminal_.readsKeys()) {
    status.message = "? shows the keys";
  }
  // The size changes only with a redraw request (SIGWINCH).
  const bool redraw = terminal_.takeRedraw();
  Shown now{shownDeck, at.step, std::move(status),
            redraw || !shown_.deck ? terminal_.size() : shown_.size};
  if (!redraw && now == shown_) return;
  platform::Terminal::write(
      terminalFrame(playView(deck, at.step, now.status, now.size.columns, now.size.lines),
                    now.size.columns, now.size.lines));
  shown_ = std::move(now);
}

void Session::startAudio() {
  // Signals are for the main thread, which owns the terminal: SDL's audio
  // thread starts with them blocked.
  audio_.started = true;
  std::string reason;
  platform::AudioStart started = platform::AudioStart::Nothing;
  {
    os::BlockedSignals held;
    started = platform::startAudio(static_cast<int>(kSampleRate), Feed::callback, &feed_, &reason);
  }
  if (started == platform::AudioStart::Nothing) {
    throw Error("cannot start audio, not even silently");
  }
  silent_ = started == platform::AudioStart::Silent;
  if (silent_ && !quiet_ && !terminal_.drawsScreen()) {
    tool::say("cannot start audio (" + reason + "); playing on without sound");
  }
}

Key Session::nextKey() {
  if (!terminal_.readsKeys()) {
    std::this_thread::sleep_for(kKeyWait);
    return Key::None;
  }
  for (;;) {
    auto [key, used] = decodeKey(keyBytes_, true);
    if (used > 0) {
      keyBytes_.erase(0, used);
      return key;
    }
    // An escape alone is Esc only once nothing follows it for a moment.
    const std::size_t before = keyBytes_.size();
    if (!terminal_.read(keyBytes_, keyBytes_.empty() ? kKeyWait : std::chrono::milliseconds(30))) {
      return Key::None;  // the terminal is gone: no more keys
    }
    if (keyBytes_.size() == before) {
      if (keyBytes_.empty()) return Key::None;
      auto [last, n] = decodeKey(keyBytes_, false);
      keyBytes_.erase(0, n);
      return last;
    }
  }
}

int Session::run() {
  auto first = loadFrom(0, 1);
  if (!first) {
    terminal_.release();
    for (const std::string& e : errors_) tool::say(e);
    return 1;
  }
  play(first);
  startAudio();
  while (!quit_) {
    const Key key = nextKey();
    feed_.collect();
    const Heard heard = clock_.heard(Clock::now());
    // Before the device has played anything: the first song, at its start.
    const std::uint64_t serial = heard.known ? heard.serial : 1;
    if (serial == 0) break;  // the playlist has ended
    auto found = plays_.find(serial);
    if (found == plays_.end()) continue;
    const std::shared_ptr<const Deck> deck = found->second;
    if (serial != heardSerial_) onSongHeard(serial, *deck);
    if (key != Key::None) onKey(key, *deck);
    watchFiles(serial, *deck);
    draw(deck, heard);
  }
  terminal_.release();
  for (const std::string& e : errors_) tool::say(e);
  return failed_ ? 1 : 0;
}

int run(const ParsedArgs& args, const Context& context) {
  // A terminal that takes no control sequences (TERM=dumb) plays as a pipe
  // does, a line for each song.
  const bool terminalOut = platform::outputKind() == platform::Output::Screen;
  const std::vector<std::string>& songs = args.operands();
  std::uint64_t loops = songs.size() > 1 || !terminalOut ? 1 : 0;
  if (auto n = args.value("loops"))
    loops = static_cast<std::uint64_t>(integerValue(kSpec, "loops", *n, 1, 1'000'000));
  Session session(songs, BankChoice{args.value("bank"), context.programFolder}, loops,
                  args.has("quiet"), args.has("watch"));
  return session.run();
}

}  // namespace

const Command kPlayCommand{kSpec, run};

}  // namespace zorvik::tool
