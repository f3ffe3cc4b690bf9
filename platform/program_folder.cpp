#include "platform/program_folder.hpp"

#include <unistd.h>

#include <climits>
#include <cstdlib>

namespace zorvik {

namespace {

std::string folderOf(const std::string& path) {
  auto slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace

std::string executableFolder(const char* argv0) {
  char buffer[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n > 0) return folderOf(std::string(buffer, static_cast<std::size_t>(n)));
  if (argv0 == nullptr) return {};
  if (char* real = ::realpath(argv0, nullptr)) {
    std::string folder = folderOf(real);
    std::free(real);
    return folder;
  }
  return folderOf(argv0);
}

std::string instrumentsFolder(const char* argv0) {
  return executableFolder(argv0) + "instruments/";
}

}  // namespace zorvik
