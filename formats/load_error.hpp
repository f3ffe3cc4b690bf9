// The one way a loader reports a file it cannot use: the exception carries
// the exact lower-case message that the player shows after "Error: ".
#pragma once

#include <stdexcept>
#include <string>

namespace zorvik {

class LoadError : public std::runtime_error {
 public:
  explicit LoadError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace zorvik
