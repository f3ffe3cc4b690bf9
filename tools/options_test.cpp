#include "tools/options.hpp"

#include <gtest/gtest.h>

#include <type_traits>
#include <vector>

#include "formats/error.hpp"

namespace zorvik::tool {
namespace {

constexpr OptionSpec kOptions[] = {
    {"loops", 'l', "N", "play N loops"},
    {"quiet", 'q', "", "say nothing"},
    {"bank", 0, "FILE", "use this bank\nsecond line"},
};
constexpr CommandSpec kSpec{"test", "IN OUT", "a test", "Tests the parser.\n", kOptions, 1, 2, {}};

struct Parsed {
  std::vector<std::string> operands;
  std::vector<std::string> loops;
  bool quiet = false;
  std::string error;  // the UsageError's message, if any
};

Parsed parse(std::vector<std::string> words) {
  std::vector<char*> argv;
  argv.reserve(words.size());
  for (auto& w : words) argv.push_back(w.data());
  Parsed out;
  try {
    ParsedArgs args = parseArgs(kSpec, argv);
    out.operands = args.operands();
    out.loops = args.values("loops");
    out.quiet = args.has("quiet");
  } catch (const UsageError& e) {
    EXPECT_EQ(e.command(), "test");
    out.error = e.what();
  }
  return out;
}

TEST(Options, GnuStyleCommandLines) {
  using V = std::vector<std::string>;
  struct Case {
    V words;
    V operands;
    V loops;
    bool quiet;
    std::string error;
  } cases[] = {
      {{"a", "b"}, {"a", "b"}, {}, false, ""},
      {{"--loops", "3", "a"}, {"a"}, {"3"}, false, ""},
      {{"--loops=3", "a"}, {"a"}, {"3"}, false, ""},
      {{"--loops=", "a"}, {"a"}, {""}, false, ""},
      {{"-l", "4", "a", "-l5"}, {"a"}, {"4", "5"}, false, ""},
      {{"a", "-q"}, {"a"}, {}, true, ""},
      {{"-", "-q", "b"}, {"-", "b"}, {}, true, ""},  // "-" is an operand
      {{"--", "-x.wav", "--loops"}, {"-x.wav", "--loops"}, {}, false, ""},
      {{"a", "--speed", "2"}, {}, {}, false, "unknown option '--speed'"},
      {{"a", "-x"}, {}, {}, false, "unknown option '-x'"},
      {{"a", "--loops"}, {}, {}, false, "--loops needs a value (N)"},
      {{"a", "--quiet=yes"}, {}, {}, false, "--quiet takes no value"},
      {{"a", "-qv"}, {}, {}, false, "-q takes no value"},
      {{}, {}, {}, false, "expected IN OUT (1 to 2 operands), got 0"},
      {{"a", "b", "c"}, {}, {}, false, "expected IN OUT (1 to 2 operands), got 3"},
      {{"--help"}, {}, {}, false, ""},  // no operands needed for help
  };
  for (const auto& c : cases) {
    std::string shown;
    for (const auto& w : c.words) shown += w + " ";
    Parsed p = parse(c.words);
    EXPECT_EQ(p.error, c.error) << shown;
    if (!c.error.empty()) continue;
    EXPECT_EQ(p.operands, c.operands) << shown;
    EXPECT_EQ(p.loops, c.loops) << shown;
    EXPECT_EQ(p.quiet, c.quiet) << shown;
  }
}

TEST(Options, HelpIsWrittenFromTheTable) {
  std::string help = helpText(kSpec);
  EXPECT_EQ(help.rfind("Usage: zorvik test [OPTIONS] IN OUT\n\nTests the parser.\n", 0), 0u)
      << help;
  const char* twoLines =
      "      --bank FILE       use this bank\n"
      "                        second line\n";
  for (const char* line :
       {"  -l, --loops N         play N loops\n", "  -q, --quiet           say nothing\n", twoLines,
        "  -h, --help            show this help and exit\n",
        "      --version         show the version and exit\n"}) {
    EXPECT_NE(help.find(line), std::string::npos) << line << "\n" << help;
  }
}

TEST(Options, NumbersTakeTheirRange) {
  EXPECT_EQ(integerValue(kSpec, "loops", "12", 0, 100), 12);
  EXPECT_EQ(numberValue(kSpec, "gain", "-3.5", -60, 60), -3.5);
  for (const char* bad : {"", "x", "1x", "101", "-1", " 5"}) {
    EXPECT_THROW(integerValue(kSpec, "loops", bad, 0, 100), UsageError) << bad;
  }
  for (const char* bad : {"", "nan", "inf", "61", "1e400", "2,5"}) {
    EXPECT_THROW(numberValue(kSpec, "gain", bad, -60, 60), UsageError) << bad;
  }
  try {
    integerValue(kSpec, "loops", "x", 0, 100);
  } catch (const UsageError& e) {
    EXPECT_STREQ(e.what(), "--loops takes a whole number from 0 to 100, not 'x'");
  }
}

// The status is the tool's choice, not the error's: code that adds a file's
// name to an Error it passes on must never make a usage error status 1.
TEST(Options, AUsageErrorIsNoError) {
  EXPECT_FALSE((std::is_base_of_v<Error, UsageError>));
  bool caughtAsError = false;
  try {
    try {
      integerValue(kSpec, "loops", "x", 0, 100);
    } catch (const Error&) {
      caughtAsError = true;
    }
  } catch (const UsageError&) {
  }
  EXPECT_FALSE(caughtAsError);
}

}  // namespace
}  // namespace zorvik::tool
