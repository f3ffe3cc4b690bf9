#include "testing/run.hpp"

#include <sys/wait.h>

#include <cstdlib>

#include "testing/fixtures.hpp"

namespace zorvik::fixtures {

std::string shellQuote(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

RunResult run(const std::string& commandLine, const std::string& input) {
  TempDir dir;
  auto in = dir / "in", out = dir / "out", err = dir / "err";
  writeFile(in, std::vector<std::uint8_t>(input.begin(), input.end()));
  std::string command = "( " + commandLine + " ) <" + shellQuote(in.string()) + " >" +
                        shellQuote(out.string()) + " 2>" + shellQuote(err.string());
  int raw = std::system(command.c_str());
  RunResult result{};
  result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
  auto o = readFile(out), e = readFile(err);
  result.out.assign(o.begin(), o.end());
  result.err.assign(e.begin(), e.end());
  return result;
}

}  // namespace zorvik::fixtures
