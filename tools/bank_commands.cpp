// zorvik bank build, list and extract: banks from audio files, a bank's
// header and samples, and its samples as WAV files.

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "display/safe_text.hpp"
#include "formats/bank.hpp"
#include "formats/bytes.hpp"
#include "platform/os.hpp"
#include "tools/audio_file.hpp"
#include "tools/bank_search.hpp"
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
    {"fill", 'f', "WHAT",
     "what the samples no file is given for hold: silence\n(the default), or default for the "
     "default bank's"},
};

constexpr CommandSpec kBuildSpec{
    "bank build",
    "OUT.zvi FILE...",
    "build a bank of 16 samples from 1 to 16 audio files",
    "Makes a bank of 16 samples from 1 to 16 audio files, in bank order: instruments\n"
    "a to l, then m's low register (pitch rows 0-6), m's high register (rows 7-15),\n"
    "n, o. The samples no file is given for are silent, or with --fill default the\n"
    "default bank's. A file given twice is stored once, its samples sharing it.\n"
    "\n"
    "Any format libsndfile reads will do: WAV, FLAC, OGG, AIFF, MP3 and more. Each\n"
    "file is mixed down to mono (the average of its channels), converted to 32004 Hz\n"
    "(best-quality sinc; a file already at 32004 Hz keeps its values exactly) and\n"
    "rounded to 16 bits, a block at a time. Values beyond 16 bits are clipped, with a\n"
    "warning giving the file and the count; so are NaN and infinite values, and\n"
    "samples longer than 10 seconds. Pitch row 1 plays a sample as recorded and row 2\n"
    "a semitone higher: record melodic sounds at a B for row 2 to play a C.\n"
    "\n"
    "OUT.zvi must end in .zvi and be none of the inputs; it appears only once it is\n"
    "complete. '-' writes the bank to standard output. 'zorvik bank extract' then\n"
    "'build' with DIR/*.wav gives back the same samples.\n",
    kBuildOptions,
    1,
    1u << 20,
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

// Where the samples go as they are made: into a regular file straight
// after room for the header, which is written last, over that room; into a
// stream (standard output, a FIFO), which must get the header first, only
// once all are made, kept in memory until then.
class BankBody {
 public:
  explicit BankBody(OutputFile& out) : out_(out) {
    if (out_.seekable()) out_.write(std::vector<std::uint8_t>(kBankDataStart, 0));
  }

  // The offset in the bank file of the next value written.
  std::uint64_t offset() const { return kBankDataStart + written_; }

  void write(std::span<const std::int16_t> values) {
    bytes_.resize(2 * values.size());
    for (std::size_t i = 0; i < values.size(); ++i) {
      writeLe16(bytes_.data() + 2 * i, static_cast<std::uint16_t>(values[i]));
    }
    written_ += bytes_.size();
    if (out_.seekable()) {
      out_.write(bytes_);
    } else {
      kept_.emplace_back(bytes_.begin(), bytes_.end());
    }
  }

  // Writes the head and header, then commits the output.
  void finish(const SampleBankHeader& header) {
    std::vector<std::uint8_t> head(kBankDataStart);
    writeLe32(head.data(), kBankMagic);
    writeLe16(head.data() + 4, 1);
    std::memcpy(head.data() + kBankHeadSize, &header, sizeof header);
    if (out_.seekable()) {
      out_.writeAt(0, head);
    } else {
      out_.write(head);
      for (const auto& part : kept_) out_.write(part);
    }
    out_.commit();
  }

 private:
  OutputFile& out_;
  std::uint64_t written_ = 0;
  std::vector<std::uint8_t> bytes_;
  std::vector<std::vector<std::uint8_t>> kept_;
};

// What a file was made into: where its values start in the bank and how
// many there are.
struct Stored {
  std::uint64_t offset = kBankDataStart;
  std::uint64_t length = 0;
};

// Converts an audio file to bank values as it reads it, into the body, and
// warns about what it had to change.
Stored storeFile(const std::string& file, BankBody& body) {
  const std::string shown = shownName(file);
  MonoAudioReader reader(file);
  auto tooLong = [&](std::uint64_t values) {
    return Error(shown + ": " + std::to_string(values) +
                 " values at 32004 Hz, more than a bank sample holds (" +
                 std::to_string(kMaxSampleValues) + ")");
  };
  // A file that says it is longer than any sample is refused before it is
  // read; one that grows past it while read, when it does.
  if (reader.sampleRate() > 0 && reader.frames() > 0) {
    auto claimed = static_cast<std::uint64_t>(static_cast<double>(reader.frames()) * kSampleRate /
                                              reader.sampleRate());
    if (claimed > kMaxSampleValues) throw tooLong(claimed);
  }
  Stored stored{body.offset(), 0};
  std::optional<StreamResampler> resampler;
  if (reader.sampleRate() != static_cast<int>(kSampleRate)) {
    try {
      resampler.emplace(reader.sampleRate(), kSampleRate);
    } catch (const Error& e) {
      throw Error(shown + ": " + e.what());
    }
  }
  // libsamplerate works on floats; scaled to +-1 they keep 24 bits, more
  // than 16-bit values need.
  constexpr double kScale = 32768.0;
  BankValues bank;
  std::vector<float> in, converted;
  std::vector<double> scaled;
  auto keep = [&](std::span<const double> values) {
    if (values.empty()) return;
    if (stored.offset > 0xFFFFFFFFu) {
      throw Error(shown +
                  ": the samples are too long together: this one would start past the 4 "
                  "GiB a bank can address");
    }
    bank.values.clear();
    appendBankValues(values, bank);
    stored.length += bank.values.size();
    if (stored.length > kMaxSampleValues) throw tooLong(stored.length);
    body.write(bank.values);
  };
  for (;;) {
    std::span<const double> block = reader.next();
    const bool last = block.empty();
    if (!resampler) {
      if (last) break;
      keep(block);
      continue;
    }
    in.resize(block.size());
    for (std::size_t i = 0; i < block.size(); ++i) in[i] = static_cast<float>(block[i] / kScale);
    converted.clear();
    resampler->process(in, last, converted);
    scaled.resize(converted.size());
    for (std::size_t i = 0; i < converted.size(); ++i) scaled[i] = converted[i] * kScale;
    keep(scaled);
    if (last) break;
  }

  if (bank.clipped > 0) {
    warn(shown + ": " + std::to_string(bank.clipped) + " values clipped to 16 bits");
  }
  if (bank.notNumbers > 0)
    warn(shown + ": " + std::to_string(bank.notNumbers) + " NaN values made 0");
  if (bank.infinities > 0) {
    warn(shown + ": " + std::to_string(bank.infinities) + " infinite values clipped to 16 bits");
  }
  if (stored.length > 10 * kSampleRate) {
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.1f", stored.length / double(kSampleRate));
    warn(shown + ": " + std::string(seconds) +
         " seconds long: a note rarely lasts more than a few");
  }
  return stored;
}

// The default bank, for --fill default.
SampleBank defaultBank(const Context& context) {
  try {
    return findBank(bankFolders("-", context.programFolder), "default.zvi").bank;
  } catch (const Error& e) {
    throw Error(std::string("--fill default: ") + e.what());
  }
}

int build(const ParsedArgs& args, const Context& context) {
  const std::string name = textOption(args, "name");
  const std::string author = textOption(args, "author");
  const std::string command(kBuildSpec.name);
  const std::string fill = args.value("fill").value_or("silence");
  if (fill != "silence" && fill != "default") {
    throw UsageError(command, "--fill takes silence or default, not '" + shownName(fill) + "'");
  }
  const auto& operands = args.operands();
  const std::string& out = operands[0];
  std::span<const std::string> files = std::span(operands).subspan(1);
  if (out != "-" && !out.ends_with(".zvi")) {
    throw UsageError(command, "the output '" + shownName(out) +
                                  "' does not end in .zvi: name the bank first, then 1 to 16 "
                                  "audio files");
  }
  if (files.empty() || files.size() > kBankSamples) {
    throw UsageError(command,
                     "expected OUT.zvi, then 1 to 16 audio files, one for each of the "
                     "bank's 16 samples; got " +
                         std::to_string(files.size()) + " files");
  }
  refuseInputAsOutput(kBuildSpec, out, files);
  std::optional<SampleBank> fillBank;
  if (fill == "default" && files.size() < kBankSamples) fillBank = defaultBank(context);

  OutputFile output(out);
  BankBody body(output);
  SampleBankHeader header{};
  header.name = makeTextField(name);
  header.author = makeTextField(author);
  // A file given again, by any name, is the same file: stored once.
  std::vector<std::pair<std::pair<std::uint64_t, std::uint64_t>, Stored>> seen;
  for (int k = 0; k < kBankSamples; ++k) {
    Stored stored{body.offset(), 0};
    if (static_cast<std::size_t>(k) < files.size()) {
      const std::string& file = files[static_cast<std::size_t>(k)];
      auto st = os::statusOf(file);
      auto same = std::find_if(seen.begin(), seen.end(), [&](const auto& s) {
        return st && s.first == std::pair{st->device, st->id};
      });
      if (same != seen.end()) {
        stored = same->second;
      } else {
        stored = storeFile(file, body);
        if (st) seen.push_back({{st->device, st->id}, stored});
      }
    } else if (fillBank) {
      const Sample& sample = fillBank->samples[k];
      std::vector<std::int16_t> block;
      for (std::size_t at = 0; at < sample.length; at += block.size()) {
        block.resize(std::min<std::size_t>(sample.length - at, std::size_t{1} << 16));
        for (std::size_t i = 0; i < block.size(); ++i) block[i] = sample.data[at + i];
        body.write(block);
      }
      stored.length = sample.length;
    }
    // An empty sample may be anywhere; one with values starts within 4 GiB.
    if (stored.length == 0 && stored.offset > 0xFFFFFFFFu) stored.offset = kBankDataStart;
    if (stored.offset > 0xFFFFFFFFu) {
      throw Error("the samples are too long together: sample " + std::to_string(k) +
                  " would start past the 4 GiB a bank can address");
    }
    header.setDescriptor(k, {static_cast<std::uint32_t>(2 * stored.length), 16, kSampleRate,
                             static_cast<std::uint32_t>(stored.offset)});
  }
  body.finish(header);
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
    auto st = os::statusOf(target);
    if (st && st->kind != os::FileKind::Regular) throw notRegular(target);
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
