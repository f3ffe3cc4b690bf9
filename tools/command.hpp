// The zorvik tool's commands and the small helpers they share. A command
// gets its arguments after its own name and returns the exit status:
// 0 done, 1 bad input or a failed write, 2 a bad command line.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace zorvik::tool {

using Args = std::span<char* const>;

int renderCommand(Args args);
int songCommand(Args args);
int bankCommand(Args args);
int infoCommand(Args args);

// argv[0] of the tool, for finding instruments/ beside it.
extern const char* programPath;

// "zorvik: " + message on standard error; returns 1.
int fail(std::string_view message);

// "zorvik: " + message and a hint to --help on standard error; returns 2.
int usageError(std::string_view command, std::string_view message);

bool isHelp(std::string_view arg);

// Whole numbers for options; empty when text is not one, or out of range.
std::optional<long long> parseInteger(std::string_view text, long long min, long long max);
std::optional<double> parseNumber(std::string_view text);

}  // namespace zorvik::tool
