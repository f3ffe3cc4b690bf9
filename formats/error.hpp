// The one error type of the core: a one-line message that says what went
// wrong. Code below main throws; each program catches once, in main, and
// turns it into its report and its exit status.
#pragma once

#include <cstring>
#include <stdexcept>
#include <string>

namespace zorvik {

class Error : public std::runtime_error {
 public:
  explicit Error(const std::string& message) : std::runtime_error(message) {}
};

// A song or bank file a loader cannot use. The message is the format's own
// lower-case text, which the player shows after "Error: ".
class LoadError : public Error {
 public:
  explicit LoadError(const std::string& message) : Error(message) {}
};

// A file that could not be read: an I/O error (errno's value), not its end.
class ReadError : public LoadError {
 public:
  explicit ReadError(int error)
      : LoadError(std::string("cannot read the file: ") + std::strerror(error)), error_(error) {}
  int error() const noexcept { return error_; }

 private:
  int error_;
};

}  // namespace zorvik
