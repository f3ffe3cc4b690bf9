// zorvik bank build, list and extract: banks from audio files, a bank's
// header and samples, and its samples as WAV files.

#include <sys/stat.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "display/safe_text.hpp"
#include "formats/bank.hpp"
#include "tools/audio_file.hpp"
#include "tools/command.hpp"
#include "tools/input.hpp"
#include "tools/messages.hpp"
#include "tools/output_file.hpp"
#include "tools/resample.hpp"
#include "tools/sample_values.hpp"

namespace zorvik::tool {

namespace {

constexpr OptionSpec kBuildOptions[] = {
    {"name", 'n', "NAME", "the bank's name, at most 31 bytes (required)"},
    {"author", 'a', "AUTHOR", "the bank's author, at most 31 bytes (required)"},
};

constexpr CommandSpec kBuildSpec{
    "bank build",
    "OUT.zvi FILE...",
    "build a bank from 16 audio files",
    "Makes a bank from exactly 16 audio files, in bank order: instruments a to l,\n"
    "then m's low register (pitch rows 0-6), m's high register (rows 7-15), n, o.\n"
    "Any format libsndfile reads will do: WAV, FLAC, OGG, AIFF, MP3 and more. Each\n"
    "file is mixed down to mono (the average of its channels), converted to 32004 Hz\n"
    "(best-quality sinc; a file already at 32004 Hz keeps its values exactly) and\n"
    "rounded to 16 bits. Values beyond 16 bits are clipped, with a warning giving the\n"
    "file and the count; so are NaN and infinite values, and samples longer than 10\n"
    "seconds. Pitch row 1 plays a sample as recorded and row 2 a semitone higher:\n"
    "record melodic sounds at a B for row 2 to play a C.\n"
    "\n"
    "OUT.zvi must end in .zvi and be none of the inputs; it appears only once it is\n"
    "complete. '-' writes the bank to standard output. 'zorvik bank extract' then\n"
    "'build' with DIR/*.wav gives back the same samples.\n",
    kBuildOptions,
    1 + kBankSamples,
    1 + kBankSamples,
    {}};

std::string textOption(const ParsedArgs& args, const char* name) {
  auto value = args.value(name);
  if (!value) throw UsageError(std::string(kBuildSpec.name), "give the bank's --name and --author");
  if (value->size() >= kTextFieldSize) {
    throw UsageError(std::string(kBuildSpec.name), std::string("--") + name + " is " +
                                                       std::to_string(value->size()) +
                                                       " bytes long; a bank holds at most 31");
  }
  return *value;
}

int build(const ParsedArgs& args, const Context&) {
  const std::string name = textOption(args, "name");
  const std::string author = textOption(args, "author");
  const auto& operands = args.operands();
  const std::string& out = operands[0];
  std::span<const std::string> files = std::span(operands).subspan(1);
  if (out != "-" && !out.ends_with(".zvi")) {
    throw UsageError(std::string(kBuildSpec.name),
                     "the output '" + out +
                         "' does not end in .zvi: name the bank first, then its "
                         "16 audio files");
  }
  refuseInputAsOutput(kBuildSpec, out, files);

  std::array<std::vector<std::int16_t>, kBankSamples> samples;
  std::array<std::uint64_t, kBankSamples> lengths{};
  for (int k = 0; k < kBankSamples; ++k) {
    const std::string& file = files[static_cast<std::size_t>(k)];
    MonoAudio audio = readMonoAudio(file);
    BankValues bank =
        toBankValues(resample(std::move(audio.values), audio.sampleRate, kSampleRate));
    if (bank.clipped > 0) {
      warn(shownName(file) + ": " + std::to_string(bank.clipped) + " values clipped to 16 bits");
    }
    if (bank.notNumbers > 0)
      warn(shownName(file) + ": " + std::to_string(bank.notNumbers) + " NaN values made 0");
    if (bank.infinities > 0) {
      warn(shownName(file) + ": " + std::to_string(bank.infinities) +
           " infinite values clipped to 16 bits");
    }
    if (bank.values.size() > 10 * kSampleRate) {
      char seconds[32];
      std::snprintf(seconds, sizeof seconds, "%.1f", bank.values.size() / double(kSampleRate));
      warn(shownName(file) + ": " + std::string(seconds) +
           " seconds long: a note rarely lasts more than a few");
    }
    samples[k] = std::move(bank.values);
    lengths[k] = samples[k].size();
    try {
      checkBankLayout(std::span(lengths).first(static_cast<std::size_t>(k) + 1));
    } catch (const Error& e) {
      throw Error(shownName(file) + ": " + e.what());
    }
  }
  writeOutputFile(out, sampleBankFileBytes(makeTextField(name), makeTextField(author), samples));
  return 0;
}

constexpr CommandSpec kListSpec{
    "bank list",
    "BANK",
    "show a bank's header and samples",
    "Shows the bank's name and author, then one line per sample: its index, the\n"
    "instrument that plays it, the descriptor's byteLength, bits, rate and\n"
    "dataOffset, and its length in values and in seconds as the player loads it.\n"
    "'-' reads the bank from standard input. Control characters in the bank's\n"
    "texts are shown as \\xNN.\n",
    {},
    1,
    1,
    {}};

int list(const ParsedArgs& args, const Context&) {
  SampleBank bank = loadBankInput(args.operands()[0]);
  std::cout << "name:   " << showText(textOf(bank.header.name), TextStyle::Escaped) << "\n"
            << "author: " << showText(textOf(bank.header.author), TextStyle::Escaped) << "\n\n"
            << "sample  plays    byteLength  bits   rate  dataOffset      values  seconds\n";
  for (int k = 0; k < kBankSamples; ++k) {
    SampleDescriptor d = bank.header.descriptor(k);
    std::uint32_t values = bank.samples[k].length;
    char line[160];
    std::snprintf(line, sizeof line, "%6d  %-6s  %10u  %4u  %5u  %10u  %10u  %7.3f%s\n", k,
                  sampleInstrument(k).c_str(), d.byteLength, d.bitsPerSample, d.sampleRate,
                  d.dataOffset, values, values / static_cast<double>(kSampleRate),
                  values < d.byteLength / 2 ? "  (cut short: the file ends)" : "");
    std::cout << line;
  }
  return 0;
}

constexpr CommandSpec kExtractSpec{
    "bank extract",
    "BANK DIR",
    "write a bank's 16 samples as WAV files",
    "Writes the bank's 16 samples into DIR (made if missing) as WAV files, 32004 Hz\n"
    "mono 16-bit, replacing files of the same names. Each is named after its index\n"
    "and the instrument that plays it:\n"
    "  00-a.wav 01-b.wav ... 11-l.wav 12-m-low.wav 13-m-high.wav 14-n.wav 15-o.wav\n"
    "so DIR/*.wav lists them in bank order, ready for 'zorvik bank build'. It is all\n"
    "or nothing: every file is written first under a temporary name, and only when\n"
    "all sixteen are complete do they take their names.\n",
    {},
    2,
    2,
    {}};

// The file extract writes sample k to: "00-a.wav" ... "12-m-low.wav" ...
std::string extractedFileName(int k) {
  std::string instrument = sampleInstrument(k);
  if (auto space = instrument.find(' '); space != std::string::npos) instrument[space] = '-';
  return (k < 10 ? "0" : "") + std::to_string(k) + "-" + instrument + ".wav";
}

int extract(const ParsedArgs& args, const Context&) {
  const std::string& path = args.operands()[0];
  const std::filesystem::path dir = args.operands()[1];
  SampleBank bank = loadBankInput(path);
  std::error_code error;
  std::filesystem::create_directories(dir, error);
  if (error) throw cannotWrite(dir.string(), error.message());

  // Every target is checked before anything is written, then all sixteen
  // are written under temporary names, then renamed.
  auto notRegular = [](const std::string& target) {
    return cannotWrite(target, "it exists and is not a regular file");
  };
  std::vector<std::string> targets;
  for (int k = 0; k < kBankSamples; ++k) {
    std::string target = (dir / extractedFileName(k)).string();
    struct stat st {};
    if (::stat(target.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) throw notRegular(target);
    refuseInputAsOutput(kExtractSpec, target, std::span(&path, 1));
    targets.push_back(target);
  }
  std::vector<std::unique_ptr<OutputFile>> outputs;
  std::vector<std::int16_t> block;
  for (int k = 0; k < kBankSamples; ++k) {
    outputs.push_back(std::make_unique<OutputFile>(targets[k]));
    // Made something else since the check: it would be written straight.
    if (!outputs.back()->seekable()) throw notRegular(targets[k]);
    const Sample& sample = bank.samples[k];
    AudioWriter writer(*outputs.back(), *outputFormatFor(targets[k]), kSampleRate, sample.length);
    for (std::size_t at = 0; at < sample.length; at += block.size()) {
      block.resize(std::min<std::size_t>(sample.length - at, std::size_t{1} << 16));
      for (std::size_t i = 0; i < block.size(); ++i) block[i] = sample.data[at + i];
      writer.write(block);
    }
    writer.finish();
  }
  for (auto& output : outputs) output->commit();
  return 0;
}

}  // namespace

const Command kBankBuildCommand{kBuildSpec, build};
const Command kBankListCommand{kListSpec, list};
const Command kBankExtractCommand{kExtractSpec, extract};

}  // namespace zorvik::tool
