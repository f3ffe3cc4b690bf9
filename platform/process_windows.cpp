// The process on Windows: a closed standard stream gets the null device,
// as on POSIX, and the end comes within half a second.
#include <fcntl.h>
#include <io.h>

#include <cstdlib>

#include "platform/process.hpp"

namespace zorvik::platform {

void ensureStandardStreams() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (::_get_osfhandle(fd) >= 0) continue;
    int null = ::_open("NUL", fd == 0 ? _O_RDONLY : _O_WRONLY);
    if (null < 0) std::_Exit(1);  // no null device: nothing safe is left to do
    if (null != fd) {
      ::_dup2(null, fd);
      ::_close(null);
    }
  }
}

}  // namespace zorvik::platform
