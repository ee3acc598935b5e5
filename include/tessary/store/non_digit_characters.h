#pragma once

#include <string_view>

namespace tessary::store {

// Every character except the twelve of "1234567890.-": a number text read from the snippet must
// contain none of them. All twelve are single ASCII bytes, so in UTF-8 text any other byte (a
// blank, a letter, any byte of a multi-byte character) belongs to the set.
class NonDigitCharacters {
 public:
  static constexpr bool contains(char32_t character) {
    return !((character >= U'0' && character <= U'9') || character == U'.' || character == U'-');
  }
  // True when the UTF-8 `text` holds at least one character of the set.
  static constexpr bool isFoundIn(std::string_view text) {
    for (const char byte : text) {
      if (contains(static_cast<unsigned char>(byte))) return true;
    }
    return false;
  }
};

}  // namespace tessary::store
