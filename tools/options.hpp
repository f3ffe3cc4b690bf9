// The one command-line parser of the zorvik tool. Every command describes
// itself in a CommandSpec; the parser reads GNU-style options from it (long
// "--name value" and "--name=value", short "-x value" and "-xvalue", "--"
// to end the options, "-" as an operand) and writes the command's --help.
#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace zorvik::tool {

using Args = std::span<char* const>;

// A bad command line: the program says so with a hint to the command's
// --help and ends with status 2. It is no Error (status 1), so that code
// which adds a file's name to the errors it passes on leaves it alone.
class UsageError : public std::runtime_error {
 public:
  UsageError(std::string command, const std::string& message)
      : std::runtime_error(message), command_(std::move(command)) {}
  const std::string& command() const { return command_; }

 private:
  std::string command_;
};

struct OptionSpec {
  std::string_view name;   // long name, without "--"
  char letter = 0;         // short name, or 0 for none
  std::string_view value;  // the value's name in --help ("N", "FILE"); empty for a flag
  std::string_view help;   // what it does; may hold several lines
};

struct CommandSpec {
  std::string_view name;         // as typed after "zorvik": "render", "bank build"
  std::string_view operands;     // the usage line after the name: "SONG OUT"
  std::string_view summary;      // one line for the command list
  std::string_view description;  // paragraphs for --help
  std::span<const OptionSpec> options;
  std::size_t minOperands = 0;
  std::size_t maxOperands = 0;
  std::string_view epilogue;  // paragraphs shared with other commands, after the description
};

class ParsedArgs {
 public:
  bool has(std::string_view name) const { return values_.count(std::string(name)) > 0; }
  // The value given last for an option, if any.
  std::optional<std::string> value(std::string_view name) const;
  std::vector<std::string> values(std::string_view name) const;
  const std::vector<std::string>& operands() const { return operands_; }
  bool wantsHelp() const { return has("help"); }
  bool wantsVersion() const { return has("version"); }

 private:
  friend ParsedArgs parseArgs(const CommandSpec& spec, Args args);
  std::map<std::string, std::vector<std::string>> values_;
  std::vector<std::string> operands_;
};

// Reads args against spec; every command also takes -h/--help and
// --version. Throws UsageError for an unknown option, a missing value, or
// (unless help or the version is asked for) a wrong number of operands.
ParsedArgs parseArgs(const CommandSpec& spec, Args args);

// The command's --help text.
std::string helpText(const CommandSpec& spec);

// Option values. Each throws UsageError naming the option and what it takes.
long long integerValue(const CommandSpec& spec, std::string_view option, const std::string& text,
                       long long min, long long max);
double numberValue(const CommandSpec& spec, std::string_view option, const std::string& text,
                   double min, double max);

}  // namespace zorvik::tool
