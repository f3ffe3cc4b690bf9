// zorvik bank: builds a bank from audio files, lists a bank's header and
// samples, and extracts its samples as WAV files.

#include <sndfile.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "formats/bank.hpp"
#include "formats/load_error.hpp"
#include "tools/audio_file.hpp"
#include "tools/bank_samples.hpp"
#include "tools/command.hpp"
#include "tools/output_file.hpp"
#include "tools/resample.hpp"

namespace zorvik::tool {

namespace {

constexpr const char* kBankHelp =
    "Usage: zorvik bank build OUT.zvi --name NAME --author AUTHOR FILE...\n"
    "       zorvik bank list FILE.zvi\n"
    "       zorvik bank extract FILE.zvi DIR\n"
    "\n"
    "Builds and inspects sample banks (.zvi): 16 mono 16-bit samples at 32004 Hz.\n"
    "Instruments a to l play samples 0 to 11; instrument m plays sample 12 on pitch\n"
    "rows 0-6 and sample 13 on rows 7-15; n plays sample 14 and o sample 15.\n"
    "\n"
    "Subcommands:\n"
    "  build      make a bank from 16 audio files\n"
    "  list       show a bank's name, author and samples\n"
    "  extract    write a bank's samples as WAV files\n"
    "\n"
    "Run 'zorvik bank SUBCOMMAND --help' for the options of each.\n";

constexpr const char* kBuildHelp =
    "Usage: zorvik bank build OUT.zvi --name NAME --author AUTHOR FILE...\n"
    "\n"
    "Makes a bank from exactly 16 audio files, in bank order: instruments a to l,\n"
    "then m's low register (pitch rows 0-6), m's high register (rows 7-15), n, o.\n"
    "Any format libsndfile reads will do: WAV, FLAC, OGG, AIFF and more. Each file\n"
    "is mixed down to mono (the average of its channels), converted to 32004 Hz\n"
    "(best-quality sinc; a file already at 32004 Hz keeps its values exactly) and\n"
    "rounded to 16 bits. Values beyond 16 bits are clipped, with a warning giving\n"
    "the file and the count. Pitch row 1 plays a sample as recorded and row 2 a\n"
    "semitone higher: record melodic sounds at a B for row 2 to play a C.\n"
    "\n"
    "OUT.zvi appears only once it is complete; '-' writes the bank to standard\n"
    "output. 'zorvik bank extract' then 'build' with DIR/*.wav gives back the same\n"
    "samples.\n"
    "\n"
    "Options:\n"
    "  --name NAME      the bank's name, at most 31 bytes (required)\n"
    "  --author AUTHOR  the bank's author, at most 31 bytes (required)\n"
    "  -h, --help       show this help\n";

constexpr const char* kListHelp =
    "Usage: zorvik bank list FILE.zvi\n"
    "\n"
    "Shows the bank's name and author, then one line per sample: its index, the\n"
    "instrument that plays it, the descriptor's byteLength, bits, rate and\n"
    "dataOffset, and its length in values and in seconds as the player loads it.\n"
    "\n"
    "Options:\n"
    "  -h, --help    show this help\n";

constexpr const char* kExtractHelp =
    "Usage: zorvik bank extract FILE.zvi DIR\n"
    "\n"
    "Writes the bank's 16 samples into DIR (made if missing) as WAV files, 32004 Hz\n"
    "mono 16-bit, replacing files of the same names. Each is named after its index\n"
    "and the instrument that plays it:\n"
    "  00-a.wav 01-b.wav ... 11-l.wav 12-m-low.wav 13-m-high.wav 14-n.wav 15-o.wav\n"
    "so DIR/*.wav lists them in bank order, ready for 'zorvik bank build'.\n"
    "\n"
    "Options:\n"
    "  -h, --help    show this help\n";

// Text of a header field, with bytes that are not printable ASCII shown as
// \xNN so that a damaged bank cannot garble the terminal.
std::string printable(const TextField& field) {
  std::string out;
  for (unsigned char c : textOf(field)) {
    if (c >= 0x20 && c < 0x7F) {
      out += static_cast<char>(c);
    } else {
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      out += hex;
    }
  }
  return out;
}

// Prints `help` when an argument asks for it; for commands without options.
bool wantsHelp(Args args, const char* help) {
  for (std::string_view arg : args) {
    if (isHelp(arg)) {
      std::cout << help;
      return true;
    }
  }
  return false;
}

int buildCommand(Args args) {
  std::optional<std::string> name, author;
  std::vector<std::string> positional;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string_view arg = args[i];
    if (isHelp(arg)) {
      std::cout << kBuildHelp;
      return 0;
    }
    if (arg == "--name" || arg == "--author") {
      if (i + 1 >= args.size())
        return usageError("bank build", std::string(arg) + " needs a value");
      std::string value = args[++i];
      if (value.size() >= kTextFieldSize) {
        return usageError("bank build", std::string(arg) + " is " + std::to_string(value.size()) +
                                            " bytes long; a bank holds at most 31");
      }
      (arg == "--name" ? name : author) = value;
    } else if (arg.size() > 1 && arg[0] == '-') {
      return usageError("bank build", "unknown option '" + std::string(arg) + "'");
    } else {
      positional.emplace_back(arg);
    }
  }
  if (!name || !author) return usageError("bank build", "give the bank's --name and --author");
  if (positional.size() != 1 + kBankSamples) {
    return usageError("bank build",
                      "expected OUT.zvi and 16 audio files, got " +
                          std::to_string(positional.empty() ? 0 : positional.size() - 1) +
                          " files");
  }
  const std::string out = positional[0];

  std::array<std::vector<std::int16_t>, kBankSamples> samples;
  std::array<std::uint64_t, kBankSamples> lengths{};
  for (int k = 0; k < kBankSamples; ++k) {
    const std::string& file = positional[1 + k];
    try {
      MonoAudio audio = readMonoAudio(file);
      BankValues bank = toBankValues(resample(audio.values, audio.sampleRate, kBankSampleRate));
      if (bank.clipped > 0) {
        std::cerr << "zorvik: warning: " << file << ": " << bank.clipped
                  << " values clipped to 16 bits" << std::endl;
      }
      samples[k] = std::move(bank.values);
      lengths[k] = samples[k].size();
    } catch (const AudioError& e) {
      return fail(e.what());
    }
    if (auto problem = bankSizeProblem(std::span(lengths).first(static_cast<std::size_t>(k) + 1))) {
      return fail(file + ": " + *problem);
    }
  }

  std::string error = writeOutputFile(
      out, sampleBankFileBytes(makeTextField(*name), makeTextField(*author), samples));
  return error.empty() ? 0 : fail(error);
}

int listCommand(Args args) {
  if (wantsHelp(args, kListHelp)) return 0;
  if (args.size() != 1) return usageError("bank list", "expected one FILE.zvi");
  const std::string path = args[0];
  SampleBank bank;
  try {
    bank = loadSampleBankFile(path);
  } catch (const LoadError& e) {
    return fail(path + ": " + e.what());
  }
  std::printf("name:   %s\nauthor: %s\n\n", printable(bank.header.name).c_str(),
              printable(bank.header.author).c_str());
  std::printf("sample  plays    byteLength  bits   rate  dataOffset      values  seconds\n");
  for (int k = 0; k < kBankSamples; ++k) {
    SampleDescriptor d = bank.header.descriptor(k);
    std::uint32_t values = bank.samples[k].length;
    std::printf("%6d  %-6s  %10u  %4u  %5u  %10u  %10u  %7.3f%s\n", k, sampleInstrument(k).c_str(),
                d.byteLength, d.bitsPerSample, d.sampleRate, d.dataOffset, values,
                values / static_cast<double>(kBankSampleRate),
                values < d.byteLength / 2 ? "  (cut short: the file ends)" : "");
  }
  return 0;
}

int extractCommand(Args args) {
  if (wantsHelp(args, kExtractHelp)) return 0;
  if (args.size() != 2) return usageError("bank extract", "expected FILE.zvi and DIR");
  const std::string path = args[0];
  const std::filesystem::path dir = args[1];
  SampleBank bank;
  try {
    bank = loadSampleBankFile(path);
  } catch (const LoadError& e) {
    return fail(path + ": " + e.what());
  }
  std::error_code error;
  std::filesystem::create_directories(dir, error);
  if (error) return fail("cannot make " + dir.string() + ": " + error.message());
  try {
    for (int k = 0; k < kBankSamples; ++k) {
      AudioWriter writer((dir / extractedFileName(k)).string(), SF_FORMAT_WAV,
                         static_cast<int>(kBankSampleRate), 1);
      writer.write(bank.samples[k].data);
      writer.commit();
    }
  } catch (const AudioError& e) {
    return fail(e.what());
  }
  return 0;
}

}  // namespace

int bankCommand(Args args) {
  if (args.empty()) {
    std::cerr << kBankHelp;
    return 2;
  }
  std::string_view sub = args[0];
  Args rest = args.subspan(1);
  if (isHelp(sub)) {
    std::cout << kBankHelp;
    return 0;
  }
  if (sub == "build") return buildCommand(rest);
  if (sub == "list") return listCommand(rest);
  if (sub == "extract") return extractCommand(rest);
  return usageError("bank", "unknown subcommand '" + std::string(sub) + "'");
}

}  // namespace zorvik::tool
