// Writes the benchmarks' busy song at tempo 255 and its bank into a folder:
//   make_busy_song DIR  ->  DIR/busy.zvo, DIR/busy.zvi

#include <filesystem>
#include <iostream>

#include "bench/busy_song.hpp"

int main(int argc, char** argv) {
  using namespace zorvik;
  if (argc != 2) {
    std::cerr << "usage: make_busy_song DIR\n";
    return 2;
  }
  std::filesystem::path dir = argv[1];
  fixtures::writeFile(dir / "busy.zvo", fixtures::songFile(bench::busySong(255)));
  fixtures::writeFile(dir / "busy.zvi", fixtures::bankFile(bench::busySamples(), "Busy", "Bench"));
  return 0;
}
