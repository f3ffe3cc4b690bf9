// Audio files through libsndfile: writing 16-bit PCM safely (to a temporary
// name, renamed only when complete; "-" for standard output) and reading
// any format libsndfile knows.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "tools/output_file.hpp"

struct sf_private_tag;

namespace zorvik::tool {

class AudioError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The libsndfile major format for an output path, chosen by its extension:
// .wav, .flac, .aif/.aiff (any case); "-" writes WAV. Empty when unknown.
std::optional<int> outputFormatFor(const std::string& path);

class AudioWriter {
 public:
  // Opens a 16-bit PCM writer of `format` (from outputFormatFor). Throws
  // AudioError with a one-line reason.
  AudioWriter(const std::string& path, int format, int sampleRate, int channels);
  ~AudioWriter();  // an uncommitted file is removed
  AudioWriter(const AudioWriter&) = delete;
  AudioWriter& operator=(const AudioWriter&) = delete;

  void write(std::span<const std::int16_t> frames);
  // Finishes the file and gives it its name (or sends it to standard output).
  void commit();

 private:
  void closeFile();

  std::string path_;
  std::unique_ptr<PendingFile> pending_;  // none for standard output
  sf_private_tag* file_ = nullptr;
  bool toStdout_ = false;
  std::vector<std::uint8_t> memory_;  // the whole file, for standard output
  std::int64_t memoryPosition_ = 0;
  friend struct MemoryIo;
};

// A whole audio file mixed down to one channel.
struct MonoAudio {
  // Each frame's average over the channels, on the 16-bit scale: a 16-bit
  // value v reads back as exactly v, full scale of any format is +-32768.
  std::vector<double> values;
  int sampleRate = 0;
};

// Reads any file libsndfile knows (WAV, FLAC, OGG, AIFF ...). Throws
// AudioError with a one-line reason.
MonoAudio readMonoAudio(const std::string& path);

}  // namespace zorvik::tool
