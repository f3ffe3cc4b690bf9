// Writes random songs and banks as files, for the tests of programs built
// elsewhere (scripts/windows-test): the same songs and banks as the unit
// tests' randomSong and randomBank, from a seed.
//
//   write_random_songs OUT COUNT SEED
//
// writes OUT/song-K.zvo and OUT/bank-K.zvi for K = 0 .. COUNT-1.

#include <cstdlib>
#include <exception>
#include <filesystem>
#include <iostream>
#include <random>
#include <string>

#include "testing/fixtures.hpp"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::cerr << "usage: write_random_songs OUT COUNT SEED" << std::endl;
    return 2;
  }
  try {
    std::filesystem::path out = argv[1];
    std::filesystem::create_directories(out);
    std::mt19937 rng(static_cast<std::mt19937::result_type>(std::strtoul(argv[3], nullptr, 10)));
    for (long k = 0, n = std::strtol(argv[2], nullptr, 10); k < n; ++k) {
      std::string name = std::to_string(k);
      zorvik::fixtures::writeFile(out / ("song-" + name + ".zvo"),
                                  zorvik::fixtures::songFile(zorvik::fixtures::randomSong(rng)));
      zorvik::fixtures::writeFile(
          out / ("bank-" + name + ".zvi"),
          zorvik::fixtures::bankFile(zorvik::fixtures::randomSamples(rng, 6000)));
    }
  } catch (const std::exception& e) {
    std::cerr << "write_random_songs: " << e.what() << std::endl;
    return 1;
  }
  return 0;
}
