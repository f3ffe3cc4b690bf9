#include "tools/options.hpp"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>

namespace zorvik::tool {

namespace {

constexpr OptionSpec kHelpOption{"help", 'h', "", "show this help and exit"};
constexpr OptionSpec kVersionOption{"version", 0, "", "show the version and exit"};

const OptionSpec* findLong(const CommandSpec& spec, std::string_view name) {
  for (const OptionSpec& o : spec.options) {
    if (o.name == name) return &o;
  }
  if (name == kHelpOption.name) return &kHelpOption;
  if (name == kVersionOption.name) return &kVersionOption;
  return nullptr;
}

const OptionSpec* findShort(const CommandSpec& spec, char letter) {
  for (const OptionSpec& o : spec.options) {
    if (o.letter == letter) return &o;
  }
  return letter == kHelpOption.letter ? &kHelpOption : nullptr;
}

}  // namespace

std::optional<std::string> ParsedArgs::value(std::string_view name) const {
  auto it = values_.find(std::string(name));
  if (it == values_.end() || it->second.empty()) return std::nullopt;
  return it->second.back();
}

std::vector<std::string> ParsedArgs::values(std::string_view name) const {
  auto it = values_.find(std::string(name));
  return it == values_.end() ? std::vector<std::string>{} : it->second;
}

ParsedArgs parseArgs(const CommandSpec& spec, Args args) {
  const std::string command(spec.name);
  ParsedArgs parsed;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string_view arg = args[i];
    if (optionsEnded || arg == "-" || arg.empty() || arg[0] != '-') {
      parsed.operands_.emplace_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    const OptionSpec* option = nullptr;
    std::optional<std::string> value;
    std::string shown;  // the option as the user wrote it, for messages
    if (arg.starts_with("--")) {
      std::string_view name = arg.substr(2);
      if (auto equals = name.find('='); equals != std::string_view::npos) {
        value = std::string(name.substr(equals + 1));
        name = name.substr(0, equals);
      }
      shown = "--" + std::string(name);
      option = findLong(spec, name);
      if (option == nullptr) throw UsageError(command, "unknown option '" + shown + "'");
      if (option->value.empty() && value) {
        throw UsageError(command, shown + " takes no value");
      }
    } else {
      shown = std::string(arg.substr(0, 2));
      option = findShort(spec, arg[1]);
      if (option == nullptr) throw UsageError(command, "unknown option '" + shown + "'");
      if (arg.size() > 2) {
        if (option->value.empty()) throw UsageError(command, shown + " takes no value");
        value = std::string(arg.substr(2));
      }
    }
    if (!option->value.empty() && !value) {
      if (i + 1 >= args.size()) {
        throw UsageError(command, shown + " needs a value (" + std::string(option->value) + ")");
      }
      value = args[++i];
    }
    parsed.values_[std::string(option->name)].push_back(value.value_or(""));
  }
  if (parsed.wantsHelp() || parsed.wantsVersion()) return parsed;
  std::size_t n = parsed.operands_.size();
  if (n < spec.minOperands || n > spec.maxOperands) {
    std::string expected = spec.minOperands == spec.maxOperands ? std::to_string(spec.minOperands)
                           : spec.maxOperands > 1000 ? std::to_string(spec.minOperands) + " or more"
                                                     : std::to_string(spec.minOperands) + " to " +
                                                           std::to_string(spec.maxOperands);
    throw UsageError(command, "expected " + std::string(spec.operands) + " (" + expected +
                                  (spec.maxOperands == 1 ? " operand" : " operands") + "), got " +
                                  std::to_string(n));
  }
  return parsed;
}

std::string helpText(const CommandSpec& spec) {
  std::string out = "Usage: zorvik " + std::string(spec.name) +
                    (spec.options.empty() ? " " : " [OPTIONS] ") + std::string(spec.operands) +
                    "\n\n" + std::string(spec.description);
  if (!out.ends_with("\n")) out += "\n";
  if (!spec.epilogue.empty()) out += "\n" + std::string(spec.epilogue);
  out += "\nOptions:\n";
  auto describe = [&](const OptionSpec& o) {
    std::string left = "  ";
    left += o.letter ? std::string("-") + o.letter + ", " : "    ";
    left += "--" + std::string(o.name);
    if (!o.value.empty()) left += " " + std::string(o.value);
    constexpr std::size_t kColumn = 24;
    std::string_view help = o.help;
    bool first = true;
    while (!help.empty() || first) {
      std::size_t end = std::min(help.find('\n'), help.size());
      std::string pad = first ? left : "";
      if (pad.size() >= kColumn && first) {
        out += pad + "\n";
        pad.clear();
      }
      pad.resize(kColumn, ' ');
      out += pad + std::string(help.substr(0, end)) + "\n";
      help.remove_prefix(std::min(end + 1, help.size()));
      first = false;
    }
  };
  for (const OptionSpec& o : spec.options) describe(o);
  describe(kHelpOption);
  describe(kVersionOption);
  return out;
}

long long integerValue(const CommandSpec& spec, std::string_view option, const std::string& text,
                       long long min, long long max) {
  long long value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < min || value > max) {
    throw UsageError(std::string(spec.name), "--" + std::string(option) +
                                                 " takes a whole number from " +
                                                 std::to_string(min) + " to " +
                                                 std::to_string(max) + ", not '" + text + "'");
  }
  return value;
}

double numberValue(const CommandSpec& spec, std::string_view option, const std::string& text,
                   double min, double max) {
  char* end = nullptr;
  errno = 0;
  double value = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0' || errno != 0 || !std::isfinite(value) || value < min ||
      value > max) {
    auto shown = [](double v) {
      std::string s = std::to_string(v);
      while (s.find('.') != std::string::npos && (s.back() == '0' || s.back() == '.')) s.pop_back();
      return s;
    };
    throw UsageError(std::string(spec.name), "--" + std::string(option) + " takes a number from " +
                                                 shown(min) + " to " + shown(max) + ", not '" +
                                                 text + "'");
  }
  return value;
}

}  // namespace zorvik::tool
