// What the C API's files share: the caller's buffers and bytes, and the
// one place exceptions stop.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <exception>
#include <new>
#include <span>
#include <string_view>

namespace zorvik::api {

// Copies text into a caller's buffer of size bytes, cut to fit, zero-ended.
inline void copyText(std::string_view text, char* out, std::size_t size) {
  if (out == nullptr || size == 0) return;
  std::size_t n = std::min(text.size(), size - 1);
  std::memcpy(out, text.data(), n);
  out[n] = '\0';
}

inline std::span<const std::uint8_t> bytesOf(const void* data, std::size_t size) {
  if (data == nullptr) return {};
  return {static_cast<const std::uint8_t*>(data), size};
}

// Runs f; an exception becomes its message in the caller's buffer and -1.
template <typename F>
int reporting(char* error, std::size_t size, F f) {
  try {
    f();
    return 0;
  } catch (const std::bad_alloc&) {
    copyText("out of memory", error, size);
  } catch (const std::exception& e) {
    copyText(e.what(), error, size);
  }
  return -1;
}

}  // namespace zorvik::api
