// Writes the benchmarks' busy song (at tempo 255 unless TEMPO says) and its
// bank into a folder:
//   make_busy_song DIR [TEMPO]  ->  DIR/busy.zvo, DIR/busy.zvi

#include <filesystem>
#include <iostream>
#include <string>

#include "bench/busy_song.hpp"

int main(int argc, char** argv) {
  using namespace zorvik;
  int tempo = argc == 3 ? std::stoi(argv[2]) : 255;
  if (argc < 2 || argc > 3 || tempo < 0 || tempo > 255) {
    std::cerr << "usage: make_busy_song DIR [TEMPO]\n";
    return 2;
  }
  std::filesystem::path dir = argv[1];
  fixtures::writeFile(dir / "busy.zvo",
                      fixtures::songFile(bench::busySong(static_cast<std::uint8_t>(tempo))));
  fixtures::writeFile(dir / "busy.zvi", fixtures::bankFile(bench::busySamples(), "Busy", "Bench"));
  return 0;
}
