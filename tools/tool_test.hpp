// What the zorvik tool's program tests share: the tool's command line and
// reading back the audio files it writes.
#pragma once

#include <sndfile.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "testing/run.hpp"

namespace zorvik::tool_test {

inline const std::string kZorvik = ZORVIK_PATH;

// The tool with these arguments, as a shell command line.
inline std::string zorvik(const std::string& args) {
  return fixtures::shellQuote(kZorvik) + " " + args;
}

struct Audio {
  SF_INFO info{};
  std::vector<double> values;  // on the 16-bit scale, as stored
  // The values as 16-bit samples, for files that hold them exactly.
  std::vector<std::int16_t> samples() const { return {values.begin(), values.end()}; }
};

inline Audio readAudio(const std::filesystem::path& path) {
  Audio audio;
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &audio.info);
  if (file == nullptr) return audio;
  sf_command(file, SFC_SET_NORM_DOUBLE, nullptr, SF_FALSE);
  audio.values.resize(static_cast<std::size_t>(audio.info.frames));
  audio.values.resize(static_cast<std::size_t>(
      sf_read_double(file, audio.values.data(), static_cast<sf_count_t>(audio.values.size()))));
  sf_close(file);
  return audio;
}

}  // namespace zorvik::tool_test
