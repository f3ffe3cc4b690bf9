// zorvik play: plays songs one after another, with keys to pause, seek,
// skip, mute and change the volume, a screen drawn at the pace the music is
// heard, and the song reloaded when it changes on disk (--watch).

#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "app/audio.hpp"
#include "display/safe_text.hpp"
#include "display/screen.hpp"
#include "engine/gain.hpp"
#include "tools/bank_search.hpp"
#include "tools/command.hpp"
#include "tools/play/clock.hpp"
#include "tools/play/deck.hpp"
#include "tools/play/feed.hpp"
#include "tools/play/renderer.hpp"
#include "tools/play/ring.hpp"
#include "tools/play/terminal.hpp"
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

constexpr auto kWatchEvery = std::chrono::milliseconds(250);

class Session {
 public:
  Session(std::vector<std::string> songs, BankChoice bank, int loops, bool quiet, bool watch)
      : songs_(std::move(songs)),
        bank_(std::move(bank)),
        loops_(loops),
        quiet_(quiet),
        watch_(watch),
        terminal_(!quiet, std::find(songs_.begin(), songs_.end(), "-") == songs_.end()),
        ring_(1 << 15),
        clock_(static_cast<int>(kSampleRate)),
        renderer_(ring_),
        feed_{ring_, clock_, renderer_} {}

  int run();

 private:
  // The first song from `index` on that loads, in `step` direction; null
  // when none does. Songs that do not load are said so.
  std::shared_ptr<const Deck> loadFrom(int index, int step);
  void reportError(const std::string& message);
  void onKey(Key key, const Heard& heard);
  void onSongHeard(const std::shared_ptr<const Deck>& heard);
  void startThreads();
  void watchFiles(const Heard& heard);
  void draw(const Heard& heard);

  std::vector<std::string> songs_;
  BankChoice bank_;
  int loops_;
  bool quiet_;
  bool watch_;
  Terminal terminal_;
  SampleRing ring_;
  HeardClock clock_;
  Renderer renderer_;
  Feed feed_;
  // Stops the device before what its callback reads is destroyed, on every
  // way out of run().
  struct AudioStop {
    bool started = false;
    ~AudioStop() {
      if (started) stopAudio();
    }
  } audio_;

  bool failed_ = false;  // some song did not load: the exit status is 1
  bool quit_ = false;
  bool paused_ = false;
  bool help_ = false;
  unsigned muted_ = 0;
  int volume_ = 0;
  int heardIndex_ = -1;                  // the song heard now
  int chosen_ = -1;                      // the song last asked for, or heard since
  std::shared_ptr<const Deck> awaited_;  // asked for with n or p, not heard yet
  std::string error_;                    // the last error, for the status line
  std::vector<std::string> errors_;      // said on standard error at the end
  std::pair<std::optional<FileStamp>, std::optional<FileStamp>> failedStamps_;
  Clock::time_point nextWatch_;
  // What the screen shows: drawn again only when that changes, or when the
  // terminal asks for it. The deck is held so that its address stays its own.
  struct Shown {
    std::shared_ptr<const Deck> deck;
    int step = -1;
    Status status;
    Terminal::Size size{0, 0};
    friend bool operator==(const Shown&, const Shown&) = default;
  };
  Shown shown_;
};

void Session::reportError(const std::string& message) {
  failed_ = true;
  error_ = message;
  // On the screen it shows in the status line; the screen goes with the
  // alternate buffer, so it is said again once the terminal is back.
  if (terminal_.draws()) {
    errors_.push_back(message);
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

void Session::onSongHeard(const std::shared_ptr<const Deck>& heard) {
  const Deck& deck = *heard;
  heardIndex_ = deck.index;
  chosen_ = deck.index;
  if (!terminal_.draws() && !quiet_) {
    std::cout << "Playing: " << showText(textOf(deck.song.title), TextStyle::Escaped) << " by "
              << showText(textOf(deck.song.author), TextStyle::Escaped) << ", bank "
              << showText(textOf(deck.bank.header.name), TextStyle::Escaped) << std::endl;
  }
  // The next song waits in line, to follow without a gap.
  renderer_.queue(heard, loadFrom(deck.index + 1, 1), loops_);
}

void Session::onKey(Key key, const Heard& heard) {
  switch (key) {
    case Key::Space:
      paused_ = !paused_;
      feed_.paused.store(paused_);
      break;
    case Key::Quit:
      quit_ = true;
      break;
    case Key::Next:
    case Key::Previous: {
      // From the song last asked for: what is heard follows a moment later.
      int from = std::max(chosen_, heard.deck ? heard.deck->index : 0);
      auto deck = key == Key::Next ? loadFrom(from + 1, 1) : loadFrom(std::max(from - 1, 0), -1);
      if (!deck && key == Key::Next) {
        quit_ = true;  // past the last song
      } else if (deck) {
        renderer_.play(deck, loops_);
        chosen_ = deck->index;
        awaited_ = deck;
      }
      break;
    }
    case Key::Back:
    case Key::Forward:
      renderer_.seek(key == Key::Back ? -4 : 4);
      break;
    case Key::Mute1:
    case Key::Mute2:
    case Key::Mute3:
      muted_ ^= 1u << (key == Key::Mute1 ? 0 : key == Key::Mute2 ? 1 : 2);
      renderer_.setMuted(muted_);
      break;
    case Key::Louder:
    case Key::Softer:
      volume_ = std::clamp(volume_ + (key == Key::Louder ? 1 : -1), kMinGainDb, kMaxGainDb);
      renderer_.setGain(volume_);
      break;
    case Key::Help:
      help_ = !help_;
      break;
    case Key::None:
    case Key::Other:
      break;
  }
}

void Session::watchFiles(const Heard& heard) {
  if (!watch_ || !heard.deck || Clock::now() < nextWatch_) return;
  nextWatch_ = Clock::now() + kWatchEvery;
  const Deck& deck = *heard.deck;
  auto stamps = std::pair(stampOf(deck.songPath), stampOf(deck.bankPath));
  if (stamps == std::pair(deck.songStamp, deck.bankStamp) || stamps == failedStamps_) return;
  try {
    renderer_.reload(loadDeck(deck.index, deck.songPath, bank_));
    error_.clear();
  } catch (const Error& e) {
    // The last good version plays on; the files are tried again once they
    // change again.
    error_ = std::string(e.what()) + " (playing the last good version)";
    failedStamps_ = stamps;
  }
}

void Session::draw(const Heard& heard) {
  if (!terminal_.draws() || !heard.deck) return;
  Status status;
  status.song = heard.deck->index + 1;
  status.songs = static_cast<int>(songs_.size());
  status.loop = heard.loop;
  status.seconds = heard.songSample / kSampleRate;
  status.paused = paused_;
  status.muted = muted_;
  status.volume = volume_;
  if (help_) {
    status.message = kKeysHelp;
  } else if (!error_.empty()) {
    status.message = error_;
  } else if (!heard.deck->missingBank.empty()) {
    status.message = "bank " + showText(heard.deck->missingBank, TextStyle::Escaped) +
                     " not found: playing the default bank";
  } else if (terminal_.readsKeys()) {
    status.message = "? shows the keys";
  }
  // The size changes only with a redraw request (SIGWINCH).
  const bool redraw = terminal_.takeRedraw();
  Shown now{heard.deck, heard.step, std::move(status),
            redraw || !shown_.deck ? terminal_.size() : shown_.size};
  if (!redraw && now == shown_) return;
  terminal_.draw(
      terminalFrame(playView(*now.deck, now.step, now.status, now.size.columns, now.size.lines)));
  shown_ = std::move(now);
}

void Session::startThreads() {
  // Signals are for the main thread, which owns the terminal: the render
  // thread and SDL's audio thread start with them blocked.
  sigset_t all, old;
  sigfillset(&all);
  ::pthread_sigmask(SIG_BLOCK, &all, &old);
  renderer_.start();
  audio_.started = true;
  bool started = startAudio(feedAudio, &feed_, quiet_ ? nullptr : "zorvik");
  ::pthread_sigmask(SIG_SETMASK, &old, nullptr);
  if (!started) throw Error("cannot start audio, not even silently");
}

int Session::run() {
  auto first = loadFrom(0, 1);
  if (!first) {
    terminal_.release();
    for (const std::string& e : errors_) tool::say(e);
    return 1;
  }
  renderer_.play(first, loops_);
  startThreads();
  while (!quit_) {
    Key key = terminal_.nextKey(std::chrono::milliseconds(10));
    Heard heard = renderer_.at(clock_.heard(Clock::now()));
    if (key != Key::None) onKey(key, heard);
    if (heard.deck && heard.deck == awaited_) {
      awaited_ = nullptr;
      heardIndex_ = -1;  // heard again, if it is the same song
    }
    if (heard.deck && !awaited_ && heard.deck->index != heardIndex_) onSongHeard(heard.deck);
    if (heard.ended) break;
    watchFiles(heard);
    draw(heard);
  }
  terminal_.release();
  for (const std::string& e : errors_) tool::say(e);
  return failed_ ? 1 : 0;
}

int run(const ParsedArgs& args, const Context& context) {
  const bool terminalOut = ::isatty(STDOUT_FILENO) != 0;
  const std::vector<std::string>& songs = args.operands();
  int loops = songs.size() > 1 || !terminalOut ? 1 : 0;
  if (auto n = args.value("loops"))
    loops = static_cast<int>(integerValue(kSpec, "loops", *n, 1, 1'000'000));
  Session session(songs, BankChoice{args.value("bank"), context.programFolder}, loops,
                  args.has("quiet"), args.has("watch"));
  return session.run();
}

}  // namespace

const Command kPlayCommand{kSpec, run};

}  // namespace zorvik::tool
