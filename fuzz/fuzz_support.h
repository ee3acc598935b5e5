#pragma once

// Shared by the fuzz targets: a check that stops the run with a message libFuzzer reports as a
// crash, and UTF-8 character boundaries.

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

// Whether a byte offset of well-formed UTF-8 text falls between two characters.
inline bool isCharacterBoundary(std::string_view text, std::size_t offset) {
  return offset == text.size() ||
         (offset < text.size() && (static_cast<unsigned char>(text[offset]) & 0xC0) != 0x80);
}

}  // namespace tessary::fuzzing
