#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// UTF-8 helpers shared by the attributed string and the renderers. Not part of the public API.
namespace tessary::platform::utf8 {

// The sequence that starts at text[position]: its length in bytes when valid; when not, the
// length of the ill-formed part that one replacement character stands for (at least one byte).
struct Sequence {
  std::size_t length;
  bool valid;
};
Sequence sequenceAt(std::string_view text, std::size_t position);

// Whether text is well-formed UTF-8, and if so its length in UTF-16 code units.
struct Measure {
  bool valid;
  std::size_t utf16Length;
};
Measure measure(std::string_view text);

// Text with every ill-formed part replaced by U+FFFD.
std::string repaired(std::string_view text);

// The code point of the well-formed sequence of `length` bytes that starts at text[position].
char32_t decode(std::string_view text, std::size_t position, std::size_t length);

// UTF-16 code units of the well-formed sequence whose lead byte is `lead`.
constexpr std::size_t utf16UnitsOfLead(unsigned char lead) {
  return lead >= 0xF0 ? 2 : 1;
}

// Whether every byte is below 0x80, where UTF-8 and UTF-16 count the same.
bool isAscii(std::string_view text);

constexpr bool isContinuation(unsigned char byte) {
  return (byte & 0xC0) == 0x80;
}

}  // namespace tessary::platform::utf8
