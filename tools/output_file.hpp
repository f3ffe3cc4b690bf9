// Writing a whole output file safely: to a temporary name beside it, renamed
// only once complete, so that a failure never leaves a half-written file.
// "-" means standard output.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace zorvik::tool {

// Returns an empty string on success, else a one-line reason.
std::string writeOutputFile(const std::string& path, std::span<const std::uint8_t> bytes);

// Reads a whole input file ("-" is standard input) into bytes; returns an
// empty string on success, else a one-line reason.
std::string readInputFile(const std::string& path, std::string& bytes);

}  // namespace zorvik::tool
