#pragma once

// Shared by the fuzz targets: a check that stops the run with a message libFuzzer reports as a
// crash, and the UTF-8 facts the checks need.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace tessary::fuzzing {

// Stops the process when `condition` is false, so that libFuzzer keeps the input as a crash.
inline void require(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "broken invariant: %s\n", what);
  std::abort();
}

inline std::string_view textOf(const std::uint8_t* data, std::size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

inline bool isContinuationByte(unsigned char byte) {
  return (byte & 0xC0) == 0x80;
}

// Whether `text` is well-formed UTF-8: shortest forms only, no surrogates, nothing above
// U+10FFFF.
inline bool isWellFormedUtf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead < 0x80) {
      length = 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      if (lead == 0xE0) low = 0xA0;
      if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      if (lead == 0xF0) low = 0x90;
      if (lead == 0xF4) high = 0x8F;
    } else {
      return false;
    }
    if (i + length > text.size()) return false;
    for (std::size_t k = 1; k < length; ++k) {
      const auto byte = static_cast<unsigned char>(text[i + k]);
      const unsigned char min = k == 1 ? low : 0x80;
      const unsigned char max = k == 1 ? high : 0xBF;
      if (byte < min || byte > max) return false;
    }
    i += length;
  }
  return true;
}

// Whether a byte offset of well-formed UTF-8 text falls between two characters.
inline bool isCharacterBoundary(std::string_view text, std::size_t offset) {
  return offset == text.size() ||
         (offset < text.size() && !isContinuationByte(static_cast<unsigned char>(text[offset])));
}

}  // namespace tessary::fuzzing
