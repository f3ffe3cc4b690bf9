// Audio files through libsndfile: the formats render writes, a writer that
// streams into an OutputFile, and reading any file libsndfile knows.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tools/output_file.hpp"

struct sf_private_tag;

namespace zorvik::tool {

// The sample rates zorvik writes at all.
inline constexpr int kMinOutputRate = 1000;
inline constexpr int kMaxOutputRate = 384000;

struct OutputFormat {
  std::string_view name;         // "WAV"
  int format;                    // libsndfile's major format and encoding
  bool lossy;                    // the samples read back are not the ones written
  std::vector<int> rates;        // the sample rates it holds; empty for a range
  int standardRate;              // the rate to convert to when it cannot hold the song's
  int maxRate = kMaxOutputRate;  // of a range, from kMinOutputRate
  // FLAC's frame headers hold a rate past 65535 Hz only in tens of Hz.
  bool tensPast16Bits = false;
};

// Whether the format holds samples at this rate, and the rates it holds,
// for messages: "1000 to 200000 Hz", "only 44100, 48000 Hz".
bool holdsRate(const OutputFormat& format, int rate);
std::string ratesText(const OutputFormat& format);

// The format for an output path, by its extension (.wav, .flac, .aif,
// .aiff, .ogg, .opus, .mp3, in any case); "-" is WAV. Null when unknown.
const OutputFormat* outputFormatFor(const std::string& path);

// The extensions outputFormatFor knows, for messages: ".wav, .flac, ...".
std::string knownExtensions();

// Whether this libsndfile writes the format at that rate (Debian's builds
// write them all, others may lack Opus or MP3).
bool canWrite(const OutputFormat& format, int rate);

// Writes 16-bit mono samples into an output, as a file of `format` holding
// exactly `frames` samples at `rate`. A WAV file whose data passes 4 GiB is
// written as RF64; AIFF, which cannot hold that much, is refused. A stream
// (standard output, a FIFO) gets the header first, with the final lengths,
// then the samples as they come: only WAV and RF64 can go to a stream.
class AudioWriter {
 public:
  // Throws Error with a one-line reason.
  AudioWriter(OutputFile& out, const OutputFormat& format, int rate, std::uint64_t frames);
  ~AudioWriter();
  AudioWriter(const AudioWriter&) = delete;
  AudioWriter& operator=(const AudioWriter&) = delete;

  void write(std::span<const std::int16_t> samples);
  // Completes the file; the caller then commits the OutputFile.
  void finish();

  struct Stream;  // the virtual I/O of a stream output

 private:
  // When the output itself failed a write, reports that (OutputFile::fail).
  void failOnStreamError();

  OutputFile& out_;
  std::unique_ptr<Stream> stream_;
  sf_private_tag* file_ = nullptr;
};

// Any audio file libsndfile knows (WAV, FLAC, OGG, AIFF ...), read a block
// at a time and mixed down to one channel, so that memory does not follow
// the file's length.
class MonoAudioReader {
 public:
  // Throws Error "cannot read NAME: reason".
  explicit MonoAudioReader(const std::string& path);
  ~MonoAudioReader();
  MonoAudioReader(const MonoAudioReader&) = delete;
  MonoAudioReader& operator=(const MonoAudioReader&) = delete;

  int sampleRate() const { return sampleRate_; }
  // The frames the file says it holds.
  std::int64_t frames() const { return frames_; }

  // The next values, each frame's average over the channels on the 16-bit
  // scale (a 16-bit value v reads back as exactly v; full scale of any
  // format is +-32768); empty at the end. Valid until the next call.
  // Throws Error "cannot read NAME: reason".
  std::span<const double> next();

 private:
  std::string name_;
  sf_private_tag* file_ = nullptr;
  int sampleRate_ = 0;
  std::int64_t frames_ = 0;
  std::size_t channels_ = 1;
  std::size_t framesPerBlock_ = 0;
  std::vector<double> block_;
  std::vector<double> mono_;
};

}  // namespace zorvik::tool
