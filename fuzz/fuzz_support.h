#pragma once

// Shared by the fuzz targets, with the standard headers they all use.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

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

// The character boundaries of any bytes: a well-formed sequence is one character, and so is each
// maximal ill-formed part, as a decoder that reads them as U+FFFD counts them.
inline std::vector<bool> characterBoundaries(std::string_view text) {
  std::vector<bool> boundaries(text.size() + 1, false);
  for (std::size_t position = 0, taken = 1; position < text.size(); position += taken) {
    boundaries[position] = true;
    const auto lead = static_cast<unsigned char>(text[position]);
    const std::size_t length = lead >= 0xF0 && lead <= 0xF4   ? 4
                               : lead >= 0xE0 && lead <= 0xEF ? 3
                               : lead >= 0xC2 && lead <= 0xDF ? 2
                                                              : 1;
    // The second byte's range narrows after E0, ED, F0 and F4: no overlong forms, surrogates or
    // code points beyond U+10FFFF.
    const unsigned char low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
    const unsigned char high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
    for (taken = 1; taken < length && position + taken < text.size(); ++taken) {
      const auto byte = static_cast<unsigned char>(text[position + taken]);
      if (taken == 1 ? byte < low || byte > high : (byte & 0xC0) != 0x80) break;
    }
  }
  boundaries[text.size()] = true;
  return boundaries;
}

}  // namespace tessary::fuzzing
