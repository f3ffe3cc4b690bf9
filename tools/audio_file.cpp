#include "tools/audio_file.hpp"

#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

namespace zorvik::tool {

std::optional<int> outputFormatFor(const std::string& path) {
  if (path == "-") return SF_FORMAT_WAV;
  auto dot = path.rfind('.');
  if (dot == std::string::npos || path.find('/', dot) != std::string::npos) return std::nullopt;
  std::string ext = path.substr(dot + 1);
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return std::tolower(c); });
  if (ext == "wav") return SF_FORMAT_WAV;
  if (ext == "flac") return SF_FORMAT_FLAC;
  if (ext == "aif" || ext == "aiff") return SF_FORMAT_AIFF;
  return std::nullopt;
}

// libsndfile's virtual I/O over a growing buffer, so that formats whose
// header is patched at the end can still go to a pipe.
struct MemoryIo {
  static AudioWriter& self(void* user) { return *static_cast<AudioWriter*>(user); }
  static sf_count_t length(void* user) {
    return static_cast<sf_count_t>(self(user).memory_.size());
  }
  static sf_count_t seek(sf_count_t offset, int whence, void* user) {
    auto& w = self(user);
    sf_count_t base = whence == SEEK_CUR   ? w.memoryPosition_
                      : whence == SEEK_END ? static_cast<sf_count_t>(w.memory_.size())
                                           : 0;
    w.memoryPosition_ = std::max<sf_count_t>(0, base + offset);
    return w.memoryPosition_;
  }
  static sf_count_t read(void* ptr, sf_count_t count, void* user) {
    auto& w = self(user);
    sf_count_t available = static_cast<sf_count_t>(w.memory_.size()) - w.memoryPosition_;
    sf_count_t n = std::clamp<sf_count_t>(count, 0, std::max<sf_count_t>(available, 0));
    if (n > 0) std::memcpy(ptr, w.memory_.data() + w.memoryPosition_, static_cast<std::size_t>(n));
    w.memoryPosition_ += n;
    return n;
  }
  static sf_count_t write(const void* ptr, sf_count_t count, void* user) {
    auto& w = self(user);
    auto end = static_cast<std::size_t>(w.memoryPosition_ + count);
    if (end > w.memory_.size()) w.memory_.resize(end);
    std::memcpy(w.memory_.data() + w.memoryPosition_, ptr, static_cast<std::size_t>(count));
    w.memoryPosition_ += count;
    return count;
  }
  static sf_count_t tell(void* user) { return self(user).memoryPosition_; }
};

namespace {

SF_VIRTUAL_IO memoryIo = {MemoryIo::length, MemoryIo::seek, MemoryIo::read, MemoryIo::write,
                          MemoryIo::tell};

}  // namespace

AudioWriter::AudioWriter(const std::string& path, int format, int sampleRate, int channels)
    : path_(path), toStdout_(path == "-") {
  SF_INFO info{};
  info.samplerate = sampleRate;
  info.channels = channels;
  info.format = format | SF_FORMAT_PCM_16;
  if (toStdout_) {
    file_ = sf_open_virtual(&memoryIo, SFM_RDWR, &info, this);
  } else {
    pending_ = std::make_unique<PendingFile>(path);
    if (!pending_->error().empty()) throw AudioError(pending_->error());
    file_ = sf_open_fd(pending_->fd(), SFM_WRITE, &info, 0);
  }
  if (file_ == nullptr) {
    std::string reason = sf_strerror(nullptr);
    closeFile();
    throw AudioError("cannot write " + path + ": " + reason);
  }
}

AudioWriter::~AudioWriter() { closeFile(); }

void AudioWriter::closeFile() {
  if (file_ != nullptr) sf_close(file_);
  file_ = nullptr;
  pending_.reset();  // removes an uncommitted file
}

void AudioWriter::write(std::span<const std::int16_t> frames) {
  if (sf_write_short(file_, frames.data(), static_cast<sf_count_t>(frames.size())) !=
      static_cast<sf_count_t>(frames.size())) {
    throw AudioError("cannot write " + path_ + ": " + sf_strerror(file_));
  }
}

void AudioWriter::commit() {
  int status = sf_close(file_);
  file_ = nullptr;
  if (status != 0) throw AudioError("cannot write " + path_ + ": " + sf_error_number(status));
  if (toStdout_) {
    if (!writeAll(STDOUT_FILENO, memory_)) {
      throw AudioError(std::string("cannot write to standard output: ") + std::strerror(errno));
    }
    return;
  }
  if (std::string error = pending_->commit(); !error.empty()) throw AudioError(error);
}

MonoAudio readMonoAudio(const std::string& path) {
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  if (file == nullptr) throw AudioError("cannot read " + path + ": " + sf_strerror(nullptr));
  // libsndfile scales integer formats to +-1 by dividing by a power of two
  // (32768 for 16 bits), so multiplying by 32768 gives 16-bit values back
  // exactly; float formats come as they are stored.
  sf_command(file, SFC_SET_NORM_DOUBLE, nullptr, SF_TRUE);
  MonoAudio audio;
  audio.sampleRate = info.samplerate;
  const auto channels = static_cast<std::size_t>(info.channels);
  if (info.frames > 0) audio.values.reserve(static_cast<std::size_t>(info.frames));
  std::vector<double> block(4096 * channels);
  while (true) {
    sf_count_t n = sf_readf_double(file, block.data(), 4096);
    if (n <= 0) break;
    for (sf_count_t f = 0; f < n; ++f) {
      double sum = 0.0;
      for (std::size_t c = 0; c < channels; ++c) {
        sum += block[static_cast<std::size_t>(f) * channels + c];
      }
      audio.values.push_back(sum * 32768.0 / static_cast<double>(channels));
    }
  }
  int error = sf_error(file);
  sf_close(file);
  if (error != SF_ERR_NO_ERROR) {
    throw AudioError("cannot read " + path + ": " + sf_error_number(error));
  }
  return audio;
}

}  // namespace zorvik::tool
