// Running programs from tests: a shell command line with its input, its
// output and status captured.
#pragma once

#include <string>

namespace zorvik::fixtures {

struct RunResult {
  int status;  // exit status, or 128 + signal number
  std::string out;
  std::string err;
};

// Runs a shell command line with `input` as its standard input and
// captures its output.
RunResult run(const std::string& commandLine, const std::string& input = "");

// Quotes a path or argument for the shell.
std::string shellQuote(const std::string& text);

}  // namespace zorvik::fixtures
