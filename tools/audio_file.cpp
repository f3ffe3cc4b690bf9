#include "tools/audio_file.hpp"

#include <sndfile.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>

#include "formats/bytes.hpp"
#include "formats/error.hpp"
#include "platform/os.hpp"
#include "tools/messages.hpp"

namespace zorvik::tool {

namespace {

const OutputFormat kWav{"WAV", SF_FORMAT_WAV | SF_FORMAT_PCM_16, false, {}, 0};
const OutputFormat kFlac{"FLAC", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, false, {}, 0, kMaxOutputRate,
                         true};
const OutputFormat kRf64{"RF64", SF_FORMAT_RF64 | SF_FORMAT_PCM_16, false, {}, 0};
const OutputFormat kAiff{"AIFF", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, false, {}, 0};
// libvorbis has no encoder settings past 200 kHz.
const OutputFormat kVorbis{"Ogg Vorbis", SF_FORMAT_OGG | SF_FORMAT_VORBIS, true, {}, 0, 200000};
const OutputFormat kOpus{
    "Ogg Opus", SF_FORMAT_OGG | SF_FORMAT_OPUS, true, {8000, 12000, 16000, 24000, 48000}, 48000};
const OutputFormat kMp3{"MP3",
                        SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III,
                        true,
                        {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000},
                        44100};

struct Extension {
  const char* extension;
  const OutputFormat* format;
};
const Extension kExtensions[] = {{"wav", &kWav},    {"rf64", &kRf64}, {"flac", &kFlac},
                                 {"aif", &kAiff},   {"aiff", &kAiff}, {"ogg", &kVorbis},
                                 {"oga", &kVorbis}, {"opus", &kOpus}, {"mp3", &kMp3}};

// What a WAV or AIFF file's 32-bit sizes can count, less room for the header.
constexpr std::uint64_t kMax32BitData = 0xFFFFFFFFu - 4096;

}  // namespace

const OutputFormat* outputFormatFor(const std::string& path) {
  if (path == "-") return &kWav;
  auto dot = path.rfind('.');
  if (dot == std::string::npos || path.find('/', dot) != std::string::npos) return nullptr;
  std::string ext = path.substr(dot + 1);
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return std::tolower(c); });
  for (const Extension& e : kExtensions) {
    if (ext == e.extension) return e.format;
  }
  return nullptr;
}

std::string knownExtensions() {
  std::string out;
  for (const Extension& e : kExtensions)
    out += (out.empty() ? "." : ", .") + std::string(e.extension);
  return out;
}

bool holdsRate(const OutputFormat& format, int rate) {
  if (!format.rates.empty()) {
    return std::find(format.rates.begin(), format.rates.end(), rate) != format.rates.end();
  }
  if (rate < kMinOutputRate || rate > format.maxRate) return false;
  return !format.tensPast16Bits || rate <= 65535 || rate % 10 == 0;
}

std::string ratesText(const OutputFormat& format) {
  if (!format.rates.empty()) {
    std::string out = "only ";
    for (int r : format.rates) out += (out.size() > 5 ? ", " : "") + std::to_string(r);
    return out + " Hz";
  }
  std::string out = std::to_string(kMinOutputRate) + " to ";
  if (format.tensPast16Bits) {
    return out + "65535 Hz, and multiples of 10 Hz up to " + std::to_string(format.maxRate);
  }
  return out + std::to_string(format.maxRate) + " Hz";
}

namespace {

// Whether libsndfile lists a major format or an encoding: one built without
// its codec libraries leaves those formats out of its lists, though
// sf_format_check still passes them.
bool listed(int countCommand, int getCommand, int format) {
  int count = 0;
  sf_command(nullptr, countCommand, &count, sizeof count);
  for (int i = 0; i < count; ++i) {
    SF_FORMAT_INFO info{};
    info.format = i;
    if (sf_command(nullptr, getCommand, &info, sizeof info) == 0 && info.format == format)
      return true;
  }
  return false;
}

}  // namespace

bool canWrite(const OutputFormat& format, int rate) {
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = 1;
  info.format = format.format;
  return sf_format_check(&info) != 0 &&
         listed(SFC_GET_FORMAT_MAJOR_COUNT, SFC_GET_FORMAT_MAJOR,
                format.format & SF_FORMAT_TYPEMASK) &&
         listed(SFC_GET_FORMAT_SUBTYPE_COUNT, SFC_GET_FORMAT_SUBTYPE,
                format.format & SF_FORMAT_SUBMASK);
}

// libsndfile's virtual I/O into an OutputFile, so that a failed write
// reports its own reason (errno) rather than libsndfile's paraphrase.
//
// A regular file is read, written and seeked as it is. A stream (standard
// output, a FIFO) cannot seek, and libsndfile will not write WAV to one: it
// writes a header at the start and rewrites it with the lengths when the
// file is closed. So the first header is held back, given the lengths the
// finished file will have, and sent; the samples follow as they come.
// libsndfile's own rewrite at the end must then give the very bytes that
// were sent, which is checked.
struct AudioWriter::Stream {
  int fd;
  bool seekable;
  std::vector<std::uint8_t> head;  // a stream's header, until sent
  bool sending = false;
  sf_count_t position = 0;
  sf_count_t length = 0;
  std::vector<std::uint8_t> rewritten;  // the header as libsndfile last wrote it
  bool writtenPastHeader = false;       // a rewrite of sent samples: cannot be
  int error = 0;                        // errno of a failed write

  bool headerChanged() const { return writtenPastHeader || rewritten != head; }

  static Stream& of(void* user) { return *static_cast<Stream*>(user); }
  static sf_count_t getLength(void* user) { return of(user).length; }
  static sf_count_t seek(sf_count_t offset, int whence, void* user) {
    Stream& s = of(user);
    sf_count_t base = whence == SEEK_CUR ? s.position : whence == SEEK_END ? s.length : 0;
    s.position = std::max<sf_count_t>(0, base + offset);
    return s.position;
  }
  static sf_count_t read(void* ptr, sf_count_t count, void* user) {
    Stream& s = of(user);
    if (s.seekable) {
      long long n = os::readAt(s.fd, ptr, static_cast<std::size_t>(count),
                               static_cast<std::uint64_t>(s.position));
      if (n < 0) return 0;
      s.position += n;
      return n;
    }
    auto size = static_cast<sf_count_t>(s.head.size());
    sf_count_t n = std::clamp<sf_count_t>(size - s.position, 0, count);
    if (n > 0) std::memcpy(ptr, s.head.data() + s.position, static_cast<std::size_t>(n));
    s.position += n;
    return n;
  }
  static sf_count_t write(const void* ptr, sf_count_t count, void* user) {
    Stream& s = of(user);
    const auto* bytes = static_cast<const std::uint8_t*>(ptr);
    if (s.seekable) {
      for (sf_count_t done = 0; done < count;) {
        long long n = os::writeAt(s.fd, bytes + done, static_cast<std::size_t>(count - done),
                                  static_cast<std::uint64_t>(s.position + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
          s.error = n < 0 ? errno : EIO;
          return done;
        }
        done += n;
      }
      s.position += count;
      s.length = std::max(s.length, s.position);
      return count;
    }
    if (!s.sending) {
      auto end = static_cast<std::size_t>(s.position + count);
      if (end > s.head.size()) s.head.resize(end);
      std::memcpy(s.head.data() + s.position, bytes, static_cast<std::size_t>(count));
      s.length = std::max<sf_count_t>(s.length, static_cast<sf_count_t>(end));
    } else if (s.position == s.length) {
      if (!writeAll(s.fd, {bytes, static_cast<std::size_t>(count)})) {
        s.error = errno;
        return 0;
      }
      s.length += count;
    } else if (s.position + count <= static_cast<sf_count_t>(s.head.size())) {
      // Bytes already sent: kept, to compare with what was sent at the end.
      std::memcpy(s.rewritten.data() + s.position, bytes, static_cast<std::size_t>(count));
    } else {
      s.writtenPastHeader = true;
    }
    s.position += count;
    return count;
  }
  static sf_count_t tell(void* user) { return of(user).position; }

  // Puts the finished file's lengths into the held-back header: the RIFF
  // size and the data chunk's (WAV), or the ds64 chunk's (RF64).
  void setLengths(std::uint64_t dataBytes, std::uint64_t frames) {
    const std::uint64_t total = head.size() + dataBytes;
    const bool rf64 = head.size() >= 12 && std::memcmp(head.data(), "RF64", 4) == 0;
    if (!rf64 && head.size() >= 8)
      writeLe32(head.data() + 4, static_cast<std::uint32_t>(total - 8));
    for (std::size_t at = 12; at + 8 <= head.size();) {
      std::uint32_t size = readLe32(head.data() + at + 4);
      if (std::memcmp(head.data() + at, "ds64", 4) == 0 && at + 8 + 24 <= head.size()) {
        writeLe64(head.data() + at + 8, total - 8);
        writeLe64(head.data() + at + 16, dataBytes);
        writeLe64(head.data() + at + 24, frames);
      }
      if (std::memcmp(head.data() + at, "data", 4) == 0) {
        if (!rf64) writeLe32(head.data() + at + 4, static_cast<std::uint32_t>(dataBytes));
        break;
      }
      at += 8 + size + (size & 1);
    }
  }

 private:
  static void writeLe64(std::uint8_t* p, std::uint64_t v) {
    writeLe32(p, static_cast<std::uint32_t>(v));
    writeLe32(p + 4, static_cast<std::uint32_t>(v >> 32));
  }
};

namespace {

SF_VIRTUAL_IO streamIo = {AudioWriter::Stream::getLength, AudioWriter::Stream::seek,
                          AudioWriter::Stream::read, AudioWriter::Stream::write,
                          AudioWriter::Stream::tell};

}  // namespace

AudioWriter::AudioWriter(OutputFile& out, const OutputFormat& format, int rate,
                         std::uint64_t frames)
    : out_(out) {
  const std::uint64_t dataBytes = 2 * frames;
  int major = format.format & SF_FORMAT_TYPEMASK;
  int encoding = format.format & SF_FORMAT_SUBMASK;
  if (major == SF_FORMAT_AIFF && dataBytes > kMax32BitData) {
    throw cannotWrite(out.name(),
                      "an AIFF file holds at most 4 GiB of samples (about 18 hours at 32004 Hz); "
                      "write .flac or .wav instead");
  }
  if (major == SF_FORMAT_WAV && dataBytes > kMax32BitData) major = SF_FORMAT_RF64;
  const bool streamed = !out.seekable();
  if (streamed && major != SF_FORMAT_WAV && major != SF_FORMAT_RF64) {
    throw Error("cannot write " + std::string(format.name) + " to " + out.name() +
                ", which is not a regular file: write WAV there, or name a file");
  }

  SF_INFO info{};
  info.samplerate = rate;
  info.channels = 1;
  info.format = major | encoding;
  stream_ = std::make_unique<Stream>();
  stream_->fd = out.fd();
  stream_->seekable = !streamed;
  file_ = sf_open_virtual(&streamIo, SFM_WRITE, &info, stream_.get());
  if (file_ == nullptr) {
    failOnStreamError();
    throw cannotWrite(out.name(), sf_strerror(nullptr));
  }
  if (streamed) {
    stream_->setLengths(dataBytes, frames);
    if (!writeAll(out.fd(), stream_->head)) {
      int error = errno;
      sf_close(file_);  // the destructor of a writer never made does not run
      file_ = nullptr;
      errno = error;
      out.fail();
    }
    stream_->sending = true;
    stream_->rewritten = stream_->head;
    stream_->length = static_cast<sf_count_t>(stream_->head.size());
    stream_->position = stream_->length;
  }
}

void AudioWriter::failOnStreamError() {
  if (stream_->error != 0) {
    errno = stream_->error;
    out_.fail();
  }
}

AudioWriter::~AudioWriter() {
  if (file_ != nullptr) sf_close(file_);
}

void AudioWriter::write(std::span<const std::int16_t> samples) {
  auto n = static_cast<sf_count_t>(samples.size());
  if (sf_write_short(file_, samples.data(), n) != n) {
    failOnStreamError();
    throw cannotWrite(out_.name(), sf_strerror(file_));
  }
}

void AudioWriter::finish() {
  int status = sf_close(file_);
  file_ = nullptr;
  failOnStreamError();
  if (status != 0) throw cannotWrite(out_.name(), sf_error_number(status));
  if (!stream_->seekable && stream_->headerChanged()) {
    throw cannotWrite(out_.name(), "the header sent first no longer matches the samples written");
  }
}

MonoAudioReader::MonoAudioReader(const std::string& path) : name_(shownName(path)) {
  // Opened by us, for the system's own reason when it cannot be, and for
  // any file name; libsndfile reads it from the descriptor and closes it.
  int fd = os::openForReading(path);
  if (fd < 0) throw cannotRead(path, errno);
  SF_INFO info{};
  file_ = sf_open_fd(fd, SFM_READ, &info, SF_TRUE);
  if (file_ == nullptr) throw cannotRead(path, sf_strerror(nullptr));
  // libsndfile scales integer formats to +-1 by dividing by a power of two
  // (32768 for 16 bits), so multiplying by 32768 gives 16-bit values back
  // exactly; float formats come as they are stored.
  sf_command(file_, SFC_SET_NORM_DOUBLE, nullptr, SF_TRUE);
  sampleRate_ = info.samplerate;
  frames_ = info.frames;
  channels_ = static_cast<std::size_t>(std::max(info.channels, 1));
  // About 512 KiB of interleaved values a block, whatever the channels.
  framesPerBlock_ = std::max<std::size_t>(1, (std::size_t{1} << 16) / channels_);
  block_.resize(framesPerBlock_ * channels_);
}

MonoAudioReader::~MonoAudioReader() {
  if (file_ != nullptr) sf_close(file_);
}

std::span<const double> MonoAudioReader::next() {
  sf_count_t n = sf_readf_double(file_, block_.data(), static_cast<sf_count_t>(framesPerBlock_));
  if (n <= 0) {
    if (int error = sf_error(file_); error != SF_ERR_NO_ERROR) {
      throw cannotRead(name_, sf_error_number(error));
    }
    return {};
  }
  mono_.resize(static_cast<std::size_t>(n));
  for (std::size_t f = 0; f < mono_.size(); ++f) {
    double sum = 0.0;
    for (std::size_t c = 0; c < channels_; ++c) sum += block_[f * channels_ + c];
    mono_[f] = sum * 32768.0 / static_cast<double>(channels_);
  }
  return mono_;
}

}  // namespace zorvik::tool
