// zorvik render: the stream the player sends to the sound device, written to
// an audio file, or the notes it plays written to a MIDI file.

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <iostream>
#include <optional>
#include <vector>

#include "display/safe_text.hpp"
#include "engine/gain.hpp"
#include "engine/playback.hpp"
#include "engine/song_midi.hpp"
#include "formats/error.hpp"
#include "tools/audio_file.hpp"
#include "tools/bank_search.hpp"
#include "tools/command.hpp"
#include "tools/input.hpp"
#include "tools/messages.hpp"
#include "tools/output_file.hpp"
#include "tools/resample.hpp"

namespace zorvik::tool {

namespace {

constexpr OptionSpec kOptions[] = {
    {"samples", 0, "N", "render N samples of the 32004 Hz stream"},
    {"loops", 0, "N", "render the song's 96 steps N times (the default: 1)"},
    {"seconds", 0, "S", "render S seconds, rounded to the nearest sample"},
    {"bank", 'b', "FILE", "play with this bank instead of the one the song names"},
    {"rate", 'r', "HZ",
     "convert to HZ samples per second, 1000 to 384000\n(Ogg Vorbis to 200000, FLAC past 65535 in "
     "tens of Hz,\nOpus and MP3 their own rates) with libsamplerate's best\nconverter; the "
     "samples are then no longer exact"},
    {"gain", 'g', "DB",
     "scale by DB decibels (-60 to 60); samples past full\nscale are limited, and counted in a "
     "warning"},
};

constexpr CommandSpec kSpec{
    "render",
    "SONG OUT",
    "render a song to WAV, FLAC, AIFF, Vorbis, Opus, MP3 or MIDI",
    "Writes the sound the player makes for SONG, from its first sample, to OUT. SONG\n"
    "is a .zvo file or a song text; '-' reads it from standard input.\n"
    "\n"
    "The format follows OUT's extension: .wav, .flac, .aif or .aiff hold the exact\n"
    "32004 Hz 16-bit mono stream, bit for bit what the player sends to the sound\n"
    "device; .ogg (Vorbis), .opus and .mp3 are lossy. Opus cannot hold 32004 Hz and\n"
    "MP3 neither: those are converted to 48000 and 44100 Hz. Only a lossy format or\n"
    "--rate makes the samples differ from the player's.\n"
    "\n"
    "OUT appears once it is complete, never half written; '-' writes WAV to standard\n"
    "output, header first, as the samples are made. A WAV file past 4 GiB is RF64\n"
    "(.rf64 writes RF64 at any length); .oga is Ogg Vorbis too.\n"
    "\n"
    "OUT ending in .mid or .midi gets the song's notes as a Standard MIDI File\n"
    "instead, a tick for each sample, with no --rate or --gain: see zorvik(1).\n",
    kOptions,
    2,
    2,
    kBankSearchHelp};

constexpr long long kMaxSamples = 1LL << 40;

// The samples of the 32004 Hz stream to render: at least one, since a
// file with no sound is no rendering.
std::uint64_t lengthOf(const ParsedArgs& args, std::uint64_t loopLength) {
  int given = args.has("samples") + args.has("loops") + args.has("seconds");
  if (given > 1)
    throw UsageError(std::string(kSpec.name), "give at most one of --samples, --loops, --seconds");
  std::uint64_t samples = loopLength;
  if (auto n = args.value("samples")) {
    samples = static_cast<std::uint64_t>(integerValue(kSpec, "samples", *n, 1, kMaxSamples));
  } else if (auto loops = args.value("loops")) {
    samples =
        static_cast<std::uint64_t>(integerValue(kSpec, "loops", *loops, 1, 1'000'000)) * loopLength;
  } else if (auto seconds = args.value("seconds")) {
    double s = numberValue(kSpec, "seconds", *seconds, 0, 1e7);
    samples = static_cast<std::uint64_t>(std::llround(s * kSampleRate));
    if (samples == 0) {
      throw UsageError(std::string(kSpec.name),
                       "--seconds " + *seconds +
                           " is shorter than half a sample at 32004 Hz, which renders nothing: "
                           "give a longer time");
    }
  }
  if (samples > static_cast<std::uint64_t>(kMaxSamples)) {
    throw UsageError(std::string(kSpec.name), "that is longer than zorvik renders (2^40 samples)");
  }
  return samples;
}

// Whether an output is a MIDI file: named .mid or .midi, in any case.
bool isMidiPath(const std::string& path) {
  std::string ext = std::filesystem::path(path).extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return std::tolower(c); });
  return ext == ".mid" || ext == ".midi";
}

// The song and the bank it plays with; neither may be the output.
struct Inputs {
  Song song;
  SampleBank bank;
};

Inputs loadInputs(const ParsedArgs& args, const Context& context, const std::string& songPath,
                  const std::string& outPath) {
  std::vector<std::string> inputs = {songPath};
  if (auto bankPath = args.value("bank")) {
    inputs.push_back(*bankPath);
    const NamedInput named[] = {{"the song", songPath}, {"the bank", *bankPath}};
    refuseOneStreamTwice(kSpec, named);
  }
  refuseInputAsOutput(kSpec, outPath, inputs);
  Song song = loadSongInput(songPath);
  FoundBank found = songBank(songPath, song, args.value("bank"), context.programFolder);
  if (found.isDefault) {
    warn("bank " + showText(textOf(song.bankName), TextStyle::Escaped) +
         " not found: rendering with the default bank, " + shownName(found.path));
  }
  if (!args.has("bank")) refuseInputAsOutput(kSpec, outPath, std::span(&found.path, 1));
  return {song, std::move(found.bank)};
}

// The song's notes as a MIDI file, of the length the options give.
int renderMidi(const ParsedArgs& args, const Context& context, const std::string& songPath,
               const std::string& outPath) {
  for (const char* option : {"rate", "gain"}) {
    if (args.has(option)) {
      throw UsageError(std::string(kSpec.name),
                       "--" + std::string(option) + " does not apply to a MIDI file: leave it out");
    }
  }
  const auto [song, bank] = loadInputs(args, context, songPath, outPath);
  const std::uint64_t length =
      lengthOf(args, std::uint64_t{kSteps} * static_cast<std::uint64_t>(stepLength(song.tempo)));
  writeOutputFile(outPath, songMidiFile(song, bank, length));
  return 0;
}

int run(const ParsedArgs& args, const Context& context) {
  const std::string songPath = args.operands()[0];
  const std::string outPath = args.operands()[1];
  if (isMidiPath(outPath)) return renderMidi(args, context, songPath, outPath);
  const OutputFormat* format = outputFormatFor(outPath);
  if (format == nullptr) {
    throw UsageError(std::string(kSpec.name), "cannot tell the format of '" + shownName(outPath) +
                                                  "': name it " + knownExtensions() +
                                                  ", .mid, or '-'");
  }
  std::optional<int> rate;
  if (auto r = args.value("rate"))
    rate = static_cast<int>(integerValue(kSpec, "rate", *r, kMinOutputRate, kMaxOutputRate));
  double gainDb = 0.0;
  if (auto g = args.value("gain")) gainDb = numberValue(kSpec, "gain", *g, kMinGainDb, kMaxGainDb);
  int outRate = rate.value_or(static_cast<int>(kSampleRate));
  if (!holdsRate(*format, outRate)) {
    if (rate) {
      throw UsageError(std::string(kSpec.name), std::string(format->name) + " holds " +
                                                    ratesText(*format) + ", not --rate " +
                                                    std::to_string(*rate));
    }
    outRate = format->standardRate;
    say(std::string(format->name) + " cannot hold " + std::to_string(kSampleRate) +
        " Hz: converting to " + std::to_string(outRate) + " Hz");
  }
  if (!canWrite(*format, outRate)) {
    // A libsndfile without its codecs (the Windows build's) has no FLAC.
    const OutputFormat* flac = outputFormatFor("song.flac");
    bool flacToo = format != flac && canWrite(*flac, static_cast<int>(kSampleRate));
    throw Error("this build of libsndfile cannot write " + std::string(format->name) + " at " +
                std::to_string(outRate) + " Hz: write .wav" + (flacToo ? " or .flac" : "") +
                " instead");
  }

  Inputs inputs = loadInputs(args, context, songPath, outPath);
  const Song& song = inputs.song;
  auto bank = std::make_shared<const SampleBank>(std::move(inputs.bank));

  const bool resampled = outRate != static_cast<int>(kSampleRate);
  // The volume is the playback's at the song's own rate; a converted
  // stream is limited after the conversion, with the same limiter.
  Playback playback(song, bank);
  if (!resampled) playback.setGain(gainDb);
  const std::uint64_t length = lengthOf(args, playback.loopLength());
  const std::uint64_t frames =
      !resampled ? length
                 : static_cast<std::uint64_t>(
                       std::llround(static_cast<double>(length) * outRate / kSampleRate));

  OutputFile out(outPath);
  AudioWriter writer(out, *format, outRate, frames);
  constexpr std::size_t kBlock = 1 << 18;
  std::vector<std::int16_t> block(kBlock);
  std::uint64_t limited = 0;
  if (!resampled) {
    for (std::uint64_t done = 0; done < frames;) {
      std::span<std::int16_t> part = std::span(block).first(
          static_cast<std::size_t>(std::min<std::uint64_t>(kBlock, frames - done)));
      playback.fill(part);
      writer.write(part);
      done += part.size();
    }
    limited = playback.limited();
  } else {
    StreamResampler resampler(kSampleRate, outRate);
    Limiter limiter(gainDb);
    std::vector<float> in, converted;
    std::vector<std::int16_t> samples;
    auto write = [&](std::span<const float> part) {
      samples.resize(part.size());
      limiter.apply(part, std::span(samples));
      writer.write(samples);
    };
    std::uint64_t written = 0;
    for (std::uint64_t done = 0; done < length;) {
      auto n = static_cast<std::size_t>(std::min<std::uint64_t>(kBlock, length - done));
      playback.fill(std::span(block).first(n));
      in.assign(block.begin(), block.begin() + static_cast<std::ptrdiff_t>(n));
      done += n;
      converted.clear();
      resampler.process(in, done == length, converted);
      // Exactly `frames` samples: the converter may give one more or less.
      std::size_t take =
          static_cast<std::size_t>(std::min<std::uint64_t>(converted.size(), frames - written));
      write(std::span<const float>(converted).first(take));
      written += take;
      if (done == length && written < frames) {
        write(std::vector<float>(static_cast<std::size_t>(frames - written), 0.0f));
        written = frames;
      }
    }
    limited = limiter.limited();
  }
  if (limited > 0) warn(std::to_string(limited) + " samples passed full scale and were limited");
  writer.finish();
  out.commit();
  return 0;
}

}  // namespace

const Command kRenderCommand{kSpec, run};

}  // namespace zorvik::tool
