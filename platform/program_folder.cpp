#include "platform/program_folder.hpp"

#include "platform/os.hpp"

namespace zorvik {

std::string executableFolder(const char* argv0) {
  std::string path = os::executablePath(argv0);
  return path.substr(0, os::folderLength(path));
}

std::string instrumentsFolder(const char* argv0) {
  return executableFolder(argv0) + "instruments" + os::kSeparator;
}

}  // namespace zorvik
