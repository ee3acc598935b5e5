#pragma once

#include <cstddef>
#include <string_view>

namespace tessary::code_editor {

// Lines of UTF-8 text as a regular expression's "." sees them: a line ends before a line feed,
// vertical tab, form feed, carriage return, U+0085, U+2028 or U+2029. A carriage return followed
// by a line feed ends one line. The lead bytes C2 and E2 never continue another character, so the
// byte sequences of U+0085, U+2028 and U+2029 read as those characters even in ill-formed text.
class TextLines {
 public:
  // The length in bytes of the line terminator at `at`, or 0 when there is none.
  static std::size_t terminatorLength(std::string_view text, std::size_t at) {
    const auto byte = static_cast<unsigned char>(text[at]);
    if (byte == '\r') return at + 1 < text.size() && text[at + 1] == '\n' ? 2 : 1;
    if (byte >= '\n' && byte <= '\f') return 1;
    if (byte == 0xC2) {
      return at + 1 < text.size() && static_cast<unsigned char>(text[at + 1]) == 0x85 ? 2 : 0;
    }
    if (byte == 0xE2 && at + 2 < text.size() && static_cast<unsigned char>(text[at + 1]) == 0x80) {
      const auto last = static_cast<unsigned char>(text[at + 2]);
      return last == 0xA8 || last == 0xA9 ? 3 : 0;
    }
    return 0;
  }

  // Whether `byte` may start a line terminator; every other byte is part of a line.
  static constexpr bool mayStartTerminator(unsigned char byte) {
    return (byte >= '\n' && byte <= '\r') || byte == 0xC2 || byte == 0xE2;
  }

  // The end of the line that holds `from`: the position of its terminator, or the text's end.
  static std::size_t lineEnd(std::string_view text, std::size_t from) {
    for (std::size_t at = from; at < text.size(); ++at) {
      if (mayStartTerminator(static_cast<unsigned char>(text[at])) &&
          terminatorLength(text, at) != 0) {
        return at;
      }
    }
    return text.size();
  }

  // The first position at or after `from` and before `end` that is neither a blank nor a tab.
  static std::size_t indentationEnd(std::string_view text, std::size_t from, std::size_t end) {
    while (from < end && (text[from] == ' ' || text[from] == '\t')) ++from;
    return from;
  }
};

}  // namespace tessary::code_editor
