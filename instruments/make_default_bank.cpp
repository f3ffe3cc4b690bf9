// make_default_bank OUT.zvi: writes the default bank, run by the build.
// The file is written under a temporary name and renamed when complete, so
// a failed run never leaves a file that looks up to date.

#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>

#include "instruments/default_bank.hpp"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "Usage: make_default_bank OUT.zvi\n";
    return 2;
  }
  const std::string out = argv[1];
  const std::string partial = out + ".partial";
  auto bytes = zorvik::instruments::defaultBankBytes();
  {
    std::ofstream file(partial, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    file.close();
    if (!file) {
      std::cerr << "make_default_bank: cannot write " << partial << "\n";
      std::remove(partial.c_str());
      return 1;
    }
  }
  if (std::rename(partial.c_str(), out.c_str()) != 0) {
    std::cerr << "make_default_bank: cannot rename " << partial << " to " << out << "\n";
    return 1;
  }
  return 0;
}
