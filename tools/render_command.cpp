// zorvik render: the exact stream the player sends to the sound device,
// written to an audio file.

#include <cmath>
#include <iostream>
#include <optional>
#include <vector>

#include "engine/player.hpp"
#include "formats/bank.hpp"
#include "formats/bank_path.hpp"
#include "formats/load_error.hpp"
#include "formats/song.hpp"
#include "tools/audio_file.hpp"
#include "tools/command.hpp"

namespace zorvik::tool {

namespace {

constexpr const char* kHelp =
    "Usage: zorvik render SONG.zvo OUT [--samples N | --loops N | --seconds S] [--bank FILE.zvi]\n"
    "\n"
    "Writes the sound the player makes for SONG.zvo, from its first sample, to OUT:\n"
    "32004 Hz, mono, 16-bit PCM, bit for bit what the player sends to the sound device.\n"
    "The format follows OUT's extension: .wav, .flac, .aif or .aiff; '-' writes WAV to\n"
    "standard output. The file appears only once it is complete.\n"
    "\n"
    "Options:\n"
    "  --samples N    render N output samples\n"
    "  --loops N      render N times the song's 96 steps (default: 1)\n"
    "  --seconds S    render S seconds (rounded to the nearest sample)\n"
    "  --bank FILE    play with this bank file instead of the one the song names\n"
    "                 (by default the song's bank in instruments/ beside zorvik,\n"
    "                 or instruments/default.zvi when that is missing)\n"
    "  -h, --help     show this help\n";

struct Options {
  std::string song;
  std::string out;
  std::optional<long long> samples, loops;
  std::optional<double> seconds;
  std::optional<std::string> bank;
};

constexpr long long kMaxSamples = 1LL << 40;

}  // namespace

int renderCommand(Args args) {
  Options options;
  std::vector<std::string> positional;
  int lengthOptions = 0;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string_view arg = args[i];
    if (isHelp(arg)) {
      std::cout << kHelp;
      return 0;
    }
    bool takesValue =
        arg == "--samples" || arg == "--loops" || arg == "--seconds" || arg == "--bank";
    if (takesValue) {
      if (i + 1 >= args.size()) return usageError("render", std::string(arg) + " needs a value");
      std::string_view value = args[++i];
      if (arg == "--bank") {
        options.bank = std::string(value);
        continue;
      }
      ++lengthOptions;
      if (arg == "--samples" && !(options.samples = parseInteger(value, 0, kMaxSamples))) {
        return usageError(
            "render", "--samples takes a whole number from 0, not '" + std::string(value) + "'");
      }
      if (arg == "--loops" && !(options.loops = parseInteger(value, 0, 1'000'000))) {
        return usageError("render",
                          "--loops takes a whole number from 0, not '" + std::string(value) + "'");
      }
      if (arg == "--seconds") {
        options.seconds = parseNumber(value);
        if (!options.seconds || !(*options.seconds >= 0) || *options.seconds > 1e7) {
          return usageError("render", "--seconds takes a number of seconds from 0, not '" +
                                          std::string(value) + "'");
        }
      }
    } else if (arg.size() > 1 && arg[0] == '-') {
      return usageError("render", "unknown option '" + std::string(arg) + "'");
    } else {
      positional.emplace_back(arg);
    }
  }
  if (positional.size() != 2) return usageError("render", "expected SONG.zvo and OUT");
  if (lengthOptions > 1)
    return usageError("render", "give at most one of --samples, --loops, --seconds");
  options.song = positional[0];
  options.out = positional[1];
  auto format = outputFormatFor(options.out);
  if (!format) {
    return usageError("render", "cannot tell the format of '" + options.out +
                                    "': name it .wav, .flac, .aif or .aiff, or '-'");
  }

  Song song;
  SampleBank bank;
  try {
    song = loadSong(options.song);
  } catch (const LoadError& e) {
    return fail(options.song + ": " + e.what());
  }
  try {
    bank = options.bank
               ? loadSampleBankFile(*options.bank)
               : loadSampleBank(instrumentsFolder(programPath), std::string(textOf(song.bankName)));
  } catch (const LoadError& e) {
    return fail((options.bank ? *options.bank : "bank " + std::string(textOf(song.bankName))) +
                ": " + e.what());
  }

  Player player(song.tempo, song, bank);
  long long total = static_cast<long long>(kSteps) * player.samplesPerStep;
  if (options.samples) total = *options.samples;
  if (options.loops) total = *options.loops * kSteps * player.samplesPerStep;
  if (options.seconds) total = std::llround(*options.seconds * kBankSampleRate);
  if (total > kMaxSamples) return usageError("render", "that is longer than zorvik renders");

  try {
    AudioWriter writer(options.out, *format, static_cast<int>(kBankSampleRate), 1);
    std::vector<std::int16_t> buffer(1 << 16);
    long long done = 0;
    while (done < total) {
      std::size_t want = static_cast<std::size_t>(
          std::min<long long>(total - done, static_cast<long long>(buffer.size())));
      std::size_t filled = 0;
      while (filled < want)
        filled += renderBlock(player, std::span(buffer).subspan(filled, want - filled));
      writer.write(std::span(buffer).first(want));
      done += static_cast<long long>(want);
    }
    writer.commit();
  } catch (const AudioError& e) {
    return fail(e.what());
  }
  return 0;
}

}  // namespace zorvik::tool
