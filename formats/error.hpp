// The one error type of both programs: a one-line message that says what went
// wrong, and the exit status the program ends with. Code below main throws;
// each program catches once, in main, and turns it into its report.
#pragma once

#include <stdexcept>
#include <string>

namespace zorvik {

class Error : public std::runtime_error {
 public:
  explicit Error(const std::string& message, int status = 1)
      : std::runtime_error(message), status_(status) {}
  int status() const noexcept { return status_; }

 private:
  int status_;
};

// A song or bank file a loader cannot use. The message is the format's own
// lower-case text, which the player shows after "Error: ".
class LoadError : public Error {
 public:
  explicit LoadError(const std::string& message) : Error(message) {}
};

}  // namespace zorvik
