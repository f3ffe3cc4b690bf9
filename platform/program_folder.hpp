// Where the programs look for banks: the folder "instruments/" beside the
// running executable, whatever name it was started by and from wherever.
#pragma once

#include <string>

namespace zorvik {

// The folder of the running executable, ending in "/". It comes from the
// executable's real path; argv0 is the fallback where that is unavailable
// (its folder, or "" for a bare name, meaning the current directory).
std::string executableFolder(const char* argv0);

// executableFolder(argv0) + "instruments/".
std::string instrumentsFolder(const char* argv0);

}  // namespace zorvik
