#pragma once

#include <cstddef>
#include <string_view>

namespace tessary::platform {

// The length of well-formed UTF-8 text in UTF-16 code units, the unit text views count in: one
// per character, two for a character outside the Basic Multilingual Plane.
constexpr std::size_t utf16Length(std::string_view text) {
  std::size_t units = 0;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte & 0xC0) != 0x80) units += byte >= 0xF0 ? 2 : 1;
  }
  return units;
}

}  // namespace tessary::platform
