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

inline void appendUtf8(std::string& out, char32_t scalar) {
  const int continuations = scalar < 0x80 ? 0 : scalar < 0x800 ? 1 : scalar < 0x10000 ? 2 : 3;
  static constexpr unsigned char kLead[] = {0x00, 0xC0, 0xE0, 0xF0};
  out += static_cast<char>(kLead[continuations] | (scalar >> (6 * continuations)));
  for (int shift = 6 * (continuations - 1); shift >= 0; shift -= 6) {
    out += static_cast<char>(0x80 | ((scalar >> shift) & 0x3F));
  }
}

// The characters the snippet writes only as escapes: C0 controls, DEL, C1 controls and the two
// Unicode line separators. A raw one could end the line for an editor or a compiler, or hide what
// the line says.
inline bool mustBeEscaped(std::string_view text, std::size_t at) {
  const auto byte = [&](std::size_t offset) {
    return at + offset < text.size() ? static_cast<unsigned char>(text[at + offset]) : 0;
  };
  return byte(0) < 0x20 || byte(0) == 0x7F ||
         (byte(0) == 0xC2 && byte(1) >= 0x80 && byte(1) <= 0x9F) ||
         (byte(0) == 0xE2 && byte(1) == 0x80 && (byte(2) == 0xA8 || byte(2) == 0xA9));
}

// Parses the literal whose opening quote is at `openingQuote`. Escapes: \0 \\ \t \n \r \" \' and
// \u{X} with one to eight hexadecimal digits naming a Unicode scalar. An interpolation "\(", any
// other escape, a character that must be escaped, or the end of the text before the closing
// quote is an error.
inline SwiftStringLiteral parseSwiftStringLiteral(std::string_view source,
                                                  std::size_t openingQuote) {
  static constexpr std::string_view kEscapes = "0\\tnr\"'";
  static constexpr std::string_view kEscaped{"\0\\\t\n\r\"'", 7};
  SwiftStringLiteral literal;
  if (openingQuote >= source.size() || source[openingQuote] != '"') {
    literal.error = "no opening quote";
    return literal;
  }
  for (std::size_t i = openingQuote + 1; i < source.size();) {
    const char c = source[i];
    if (c == '"') {
      literal.end = i + 1;
      return literal;
    }
    if (c != '\\') {
      if (mustBeEscaped(source, i)) {
        literal.error = "raw control character or line separator at byte " + std::to_string(i);
        return literal;
      }
      literal.value += c;
      ++i;
      continue;
    }
    if (i + 1 >= source.size()) break;
    const char escape = source[i + 1];
    i += 2;
    if (const std::size_t simple = kEscapes.find(escape); simple != std::string_view::npos) {
      literal.value += kEscaped[simple];
      continue;
    }
    if (escape == '(') {
      literal.error = "an interpolation";
      return literal;
    }
    if (escape != 'u' || i >= source.size() || source[i] != '{') {
      literal.error = std::string("unknown escape \\") + escape;
      return literal;
    }
    const std::size_t digitsEnd = source.find_first_not_of("0123456789abcdefABCDEF", ++i);
    const std::size_t digits = std::min(digitsEnd, source.size()) - i;
    if (digits < 1 || digits > 8 || digitsEnd >= source.size() || source[digitsEnd] != '}') {
      literal.error = "\\u{} needs one to eight hexadecimal digits";
      return literal;
    }
    const auto scalar =
        static_cast<char32_t>(std::stoul(std::string(source.substr(i, digits)), nullptr, 16));
    i = digitsEnd + 1;
    if (scalar > 0x10FFFF || (scalar >= 0xD800 && scalar <= 0xDFFF)) {
      literal.error = "\\u{} names no Unicode scalar";
      return literal;
    }
    appendUtf8(literal.value, scalar);
  }
  literal.error = "no closing quote";
  return literal;
}

}  // namespace tessary::testing
