// The zorvik tool's commands. Each describes its command line in a
// CommandSpec (the parser reads it and writes --help from it) and runs
// with the parsed arguments. A command returns its exit status or throws
// Error (main reports it, status 1) or UsageError (status 2).
#pragma once

#include <iostream>
#include <string>

#include "formats/error.hpp"
#include "tools/options.hpp"

namespace zorvik::tool {

// A line on standard error in the tool's style: "zorvik: MESSAGE".
inline void say(const std::string& message) { std::cerr << "zorvik: " << message << std::endl; }

// "zorvik: warning: MESSAGE".
inline void warn(const std::string& message) { say("warning: " + message); }

struct Context {
  std::string programFolder;  // the folder of the zorvik executable, ending in "/"
};

struct Command {
  const CommandSpec& spec;
  int (*run)(const ParsedArgs& args, const Context& context);
};

extern const Command kRenderCommand;
extern const Command kInfoCommand;
extern const Command kPlayCommand;
extern const Command kSongDecompileCommand;
extern const Command kSongCompileCommand;
extern const Command kBankBuildCommand;
extern const Command kBankListCommand;
extern const Command kBankExtractCommand;

}  // namespace zorvik::tool
