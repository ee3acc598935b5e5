#pragma once

// Reads a single-line Swift string literal from source text the way the Swift compiler does, so
// that tests can check that generated code quotes a text soundly: the literal must end where it
// should, decode to the text it was made from, and hold no character that would break the line.

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>

namespace tessary::testing {

struct SwiftStringLiteral {
  std::string value;    // the decoded text, UTF-8
  std::size_t end = 0;  // one past the closing quote
  std::string error;    // empty when the literal is sound
};

// Parses the literal whose opening quote is at `openingQuote`. Escapes: \0 \\ \t \n \r \" \' and
// \u{X} with one to eight hexadecimal digits naming a Unicode scalar. An interpolation "\(", any
// other escape, the end of the text before the closing quote, or a raw C0 control, DEL, C1
// control or Unicode line separator (each could end the line or hide what it says) is an error.
inline SwiftStringLiteral parseSwiftStringLiteral(std::string_view source,
                                                  std::size_t openingQuote) {
  static constexpr std::string_view kEscapes = "0\\tnr\"'";
  static constexpr std::string_view kEscaped{"\0\\\t\n\r\"'", 7};
  SwiftStringLiteral literal;
  const auto fail = [&](std::string error) {
    literal.error = std::move(error);
    return literal;
  };
  if (openingQuote >= source.size() || source[openingQuote] != '"') return fail("no opening quote");
  for (std::size_t i = openingQuote + 1; i < source.size();) {
    const auto byte = [&](std::size_t offset) {
      return i + offset < source.size() ? static_cast<unsigned char>(source[i + offset]) : 0;
    };
    if (byte(0) == '"') {
      literal.end = i + 1;
      return literal;
    }
    if (byte(0) != '\\') {
      if (byte(0) < 0x20 || byte(0) == 0x7F ||
          (byte(0) == 0xC2 && byte(1) >= 0x80 && byte(1) <= 0x9F) ||
          (byte(0) == 0xE2 && byte(1) == 0x80 && (byte(2) == 0xA8 || byte(2) == 0xA9))) {
        return fail("raw control character or line separator at byte " + std::to_string(i));
      }
      literal.value += source[i++];
      continue;
    }
    if (i + 1 >= source.size()) break;
    const char escape = source[i + 1];
    i += 2;
    if (const std::size_t simple = kEscapes.find(escape); simple != std::string_view::npos) {
      literal.value += kEscaped[simple];
      continue;
    }
    if (escape == '(') return fail("an interpolation");
    if (escape != 'u' || i >= source.size() || source[i] != '{') {
      return fail(std::string("unknown escape \\") + escape);
    }
    const std::size_t digitsEnd = source.find_first_not_of("0123456789abcdefABCDEF", ++i);
    const std::size_t digits = std::min(digitsEnd, source.size()) - i;
    if (digits < 1 || digits > 8 || digitsEnd >= source.size() || source[digitsEnd] != '}') {
      return fail("\\u{} needs one to eight hexadecimal digits");
    }
    const auto scalar = std::stoul(std::string(source.substr(i, digits)), nullptr, 16);
    i = digitsEnd + 1;
    if (scalar > 0x10FFFF || (scalar >= 0xD800 && scalar <= 0xDFFF)) {
      return fail("\\u{} names no Unicode scalar");
    }
    // In UTF-8: a lead byte that counts the continuation bytes, then six bits in each of them.
    const int continuations = scalar < 0x80 ? 0 : scalar < 0x800 ? 1 : scalar < 0x10000 ? 2 : 3;
    static constexpr unsigned char kLead[] = {0x00, 0xC0, 0xE0, 0xF0};
    literal.value += static_cast<char>(kLead[continuations] | (scalar >> (6 * continuations)));
    for (int shift = 6 * (continuations - 1); shift >= 0; shift -= 6) {
      literal.value += static_cast<char>(0x80 | ((scalar >> shift) & 0x3F));
    }
  }
  return fail("no closing quote");
}

}  // namespace tessary::testing
