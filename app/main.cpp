// zorvikpla: plays a song in an endless loop and shows its piano roll.

#include <sys/stat.h>
#include <zorvik/version.h>

#include <iostream>
#include <new>
#include <string>
#include <string_view>

#include "app/audio.hpp"
#include "app/console.hpp"
#include "app/fatal_error.hpp"
#include "app/program_folder.hpp"
#include "display/roll.hpp"
#include "engine/sequencer.hpp"
#include "formats/bank.hpp"
#include "formats/error.hpp"
#include "formats/song.hpp"

using namespace zorvik;

namespace {

// --help, -h and --version are answered only when no file has that name:
// a file of that name still plays.
bool answersOption(std::string_view arg) {
  if (arg != "--help" && arg != "-h" && arg != "--version") return false;
  struct stat st {};
  if (::stat(std::string(arg).c_str(), &st) == 0) return false;
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
  if (argc != 2) {
    console::writeLine("Syntax: zorvikpla.exe <filename>");
    return 0;
  }
  if (answersOption(argv[1])) return std::cout ? 0 : 1;
  console::install();

  // Made once, kept until the process ends: the audio thread reads them
  // until SDL closes the device at exit.
  Song* song = nullptr;
  SampleBank* bank = nullptr;
  try {
    song = new Song(loadSong(argv[1]));
    bank = new SampleBank(
        loadSampleBank(instrumentsFolder(argv[0]), std::string(textOf(song->bankName))));
    thePlayer = new Player(song->tempo, *song, *bank);
    theRollPages = new RollPages(buildRollPages(*song));
  } catch (const LoadError& error) {
    fatalError(error.what());
  } catch (const std::bad_alloc&) {
    console::restore();
    std::cerr << "zorvikpla: out of memory" << std::endl;
    return 1;
  }
  startAudio(audioCallback, nullptr, "zorvikpla");

  console::waitKey();
  console::exitWithin(0);
}
