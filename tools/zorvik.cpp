// zorvik: the command-line companion of the player: renders songs to audio
// files, plays them, converts them to and from text, and builds and
// inspects banks.

#include <zorvik/version.h>

#include <cerrno>
#include <iostream>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "platform/os.hpp"
#include "platform/process.hpp"
#include "platform/program_folder.hpp"
#include "tools/command.hpp"
#include "tools/messages.hpp"
#include "tools/temporary_files.hpp"

namespace zorvik::tool {
namespace {

// The commands, in the order the usage lists them; "song" and "bank" group
// two words.
const Command* const kCommands[] = {
    &kPlayCommand,        &kRenderCommand,    &kInfoCommand,     &kSongDecompileCommand,
    &kSongCompileCommand, &kBankBuildCommand, &kBankListCommand, &kBankExtractCommand,
};

std::string usage() {
  std::string out =
      "Usage: zorvik COMMAND [ARGS...]\n"
      "\n"
      "Plays and renders Zorvik songs (.zvo files and song texts), converts songs to\n"
      "text and back, and builds and inspects sample banks (.zvi).\n"
      "\n"
      "Commands:\n";
  for (const Command* c : kCommands) {
    std::string left = "  " + std::string(c->spec.name);
    left.resize(std::max<std::size_t>(left.size() + 2, 20), ' ');
    out += left + std::string(c->spec.summary) + "\n";
  }
  out +=
      "\n"
      "Run 'zorvik COMMAND --help' for the arguments and options of a command.\n"
      "Exit status: 0 done, 1 an error, 2 a bad command line.\n";
  return out;
}

// The usage of a group of commands ("song", "bank").
std::string groupUsage(std::string_view group) {
  std::string out = "Usage: zorvik " + std::string(group) + " SUBCOMMAND [ARGS...]\n\n";
  for (const Command* c : kCommands) {
    std::string_view name = c->spec.name;
    if (!name.starts_with(std::string(group) + " ")) continue;
    out += "  zorvik " + std::string(name) + " " + std::string(c->spec.operands) + "\n      " +
           std::string(c->spec.summary) + "\n";
  }
  return out + "\nRun 'zorvik " + std::string(group) +
         " SUBCOMMAND --help' for the options of each.\n";
}

std::string version() { return std::string("zorvik ") + ZORVIK_VERSION_STRING + "\n"; }

// Finds the command named by the first one or two arguments.
int dispatch(int argc, char** argv, const Context& context) {
  if (argc < 2) throw UsageError("", "expected a command");
  std::string_view first = argv[1];
  if (first == "--help" || first == "-h" || first == "help") {
    std::cout << usage();
    return 0;
  }
  if (first == "--version") {
    std::cout << version();
    return 0;
  }
  for (const Command* c : kCommands) {
    std::string_view name = c->spec.name;
    std::size_t words = 1;
    std::string typed(first);
    if (name.find(' ') != std::string_view::npos && argc > 2) {
      typed += " " + std::string(argv[2]);
      words = 2;
    }
    if (typed != name) continue;
    Args rest(argv + 1 + words, static_cast<std::size_t>(argc - 1 - static_cast<int>(words)));
    ParsedArgs args = parseArgs(c->spec, rest);
    if (args.wantsHelp()) {
      std::cout << helpText(c->spec);
      return 0;
    }
    if (args.wantsVersion()) {
      std::cout << version();
      return 0;
    }
    return c->run(args, context);
  }
  if (first == "song" || first == "bank") {
    if (argc > 2 && (std::string_view(argv[2]) == "--help" || std::string_view(argv[2]) == "-h")) {
      std::cout << groupUsage(first);
      return 0;
    }
    std::string subs = first == "song" ? "decompile or compile" : "build, list or extract";
    throw UsageError(std::string(first), argc > 2 ? "unknown subcommand '" + std::string(argv[2]) +
                                                        "': expected " + subs
                                                  : "expected " + subs);
  }
  throw UsageError("", "unknown command '" + std::string(first) + "'");
}

}  // namespace
}  // namespace zorvik::tool

int main(int argc, char** argv) {
  using namespace zorvik;
  using namespace zorvik::tool;
  // First of all: no file opened from here on may take the place of a
  // closed standard stream, or a warning would be written into it.
  platform::ensureStandardStreams();
  installTemporaryFileCleanup();
  // In UTF-8, whatever the console's code page.
  std::vector<std::string> args = os::arguments(argc, argv);
  std::vector<char*> pointers;
  pointers.reserve(args.size() + 1);
  for (std::string& arg : args) pointers.push_back(arg.data());
  pointers.push_back(nullptr);
  int status = 0;
  try {
    status = dispatch(argc, pointers.data(), Context{executableFolder(argv[0])});
  } catch (const UsageError& e) {
    std::string where = e.command().empty() ? "zorvik" : "zorvik " + e.command();
    std::cerr << where << ": " << e.what() << " (see '" << where << " --help')" << std::endl;
    status = 2;
  } catch (const Error& e) {
    std::cerr << "zorvik: " << e.what() << std::endl;
    status = 1;
  } catch (const std::bad_alloc&) {
    std::cerr << "zorvik: out of memory" << std::endl;
    status = 1;
  } catch (const std::exception& e) {
    std::cerr << "zorvik: " << e.what() << std::endl;
    status = 1;
  }
  // Every write is checked, standard output's too.
  errno = 0;
  std::cout.flush();
  if (!std::cout) {
    std::cerr << "zorvik: " << cannotWrite("standard output", errno != 0 ? errno : EIO).what()
              << std::endl;
    if (status == 0) status = 1;
  }
  return status;
}
