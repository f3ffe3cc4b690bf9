// zorvikpla: plays a song in an endless loop and shows its piano roll.

#include <iostream>
#include <new>
#include <string>

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

int main(int argc, char** argv) {
  if (argc != 2) {
    console::writeLine("Syntax: zorvikpla.exe <filename>");
    return 0;
  }
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
