// zorvikpla: plays a song in an endless loop and shows its piano roll.

#include <unistd.h>
#include <zorvik/version.h>

#include <iostream>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "app/audio.hpp"
#include "app/fatal_error.hpp"
#include "display/roll.hpp"
#include "engine/playback.hpp"
#include "formats/bank.hpp"
#include "formats/error.hpp"
#include "formats/song.hpp"
#include "platform/audio_device.hpp"
#include "platform/os.hpp"
#include "platform/process.hpp"
#include "platform/program_folder.hpp"
#include "platform/terminal.hpp"

using namespace zorvik;

namespace {

// --help, -h and --version are answered only when no file has that name:
// a file of that name still plays.
bool answersOption(std::string_view arg) {
  if (arg != "--help" && arg != "-h" && arg != "--version") return false;
  if (os::statusOf(std::string(arg))) return false;
  if (arg == "--version") {
    std::cout << "zorvikpla " << ZORVIK_VERSION_STRING << std::endl;
  } else {
    std::cout << "Syntax: zorvikpla.exe <filename>\n"
                 "\n"
                 "Plays a Zorvik song (.zvo) in an endless loop through the sound card and shows\n"
                 "its piano roll; any key ends it. The bank the song names is looked up in the\n"
                 "folder instruments/ beside the program, with instruments/default.zvi as the\n"
                 "fallback. 'zorvik play' plays song texts too, finds banks beside the song,\n"
                 "and has keys for pause, seek and more; see zorvik(1)."
              << std::endl;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  platform::ensureStandardStreams();
  // In UTF-8, whatever the console's code page.
  const std::vector<std::string> args = os::arguments(argc, argv);
  if (argc != 2) {
    std::cout << "Syntax: zorvikpla.exe <filename>" << std::endl;
    return 0;
  }
  if (answersOption(args[1])) return std::cout ? 0 : 1;
  // Keys raw from the start, so that none typed while the song starts is
  // echoed; Ctrl-C is a key like any other.
  platform::Terminal terminal({.screen = false, .keys = true, .keySignals = false});

  // Made once, kept until the process ends: the audio thread reads them
  // until SDL closes the device at exit.
  try {
    const Song song = loadSong(args[1]);
    auto bank = std::make_shared<const SampleBank>(
        loadSampleBank(instrumentsFolder(argv[0]), std::string(textOf(song.bankName))));
    // Endless, and rendering never allocates in the audio callback.
    thePlayback = new Playback(song, std::move(bank), 0, 0);
    theRollPages = new RollPages(buildRollPages(song));
  } catch (const LoadError& error) {
    fatalError(terminal, error.what());
  } catch (const std::bad_alloc&) {
    terminal.release();
    std::cerr << "zorvikpla: out of memory" << std::endl;
    return 1;
  }
  std::string reason;
  const platform::AudioStart started =
      platform::startAudio(static_cast<int>(kSampleRate), audioCallback, nullptr, &reason);
  const std::string silent =
      "zorvikpla: cannot start audio (" + reason + "); playing on without sound";
  if (started != platform::AudioStart::Sound) std::cerr << silent << std::endl;

  terminal.waitKey();
  terminal.release();
  // On a terminal the first screen drew over the warning: it is said
  // again, now that the terminal is the user's.
  if (started != platform::AudioStart::Sound && os::isTerminal(STDERR_FILENO) &&
      platform::outputKind() != platform::Output::NotTerminal) {
    std::cerr << silent << std::endl;
  }
  platform::exitWithin(0);
}
