#pragma once

// Reads a single-line Swift string literal from source text the way the Swift compiler does, so
// that tests can check that generated code quotes a text soundly: the literal must end where it
// should, decode to the text it was made from, and hold no character that would break the line.

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tessary::testing {

struct SwiftStringLiteral {
  std::string value;    // the decoded text, UTF-8
  std::size_t end = 0;  // one past the closing quote
  std::string error;    // empty when the literal is sound
};

inline void appendUtf8(std::string& out, char32_t scalar) {
  if (scalar < 0x80) {
    out += static_cast<char>(scalar);
  } else if (scalar < 0x800) {
    out += static_cast<char>(0xC0 | (scalar >> 6));
    out += static_cast<char>(0x80 | (scalar & 0x3F));
  } else if (scalar < 0x10000) {
    out += static_cast<char>(0xE0 | (scalar >> 12));
    out += static_cast<char>(0x80 | ((scalar >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (scalar & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (scalar >> 18));
    out += static_cast<char>(0x80 | ((scalar >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((scalar >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (scalar & 0x3F));
  }
}

// The characters that the snippet writes only as escapes: C0 controls, DEL, C1 controls and the
// two Unicode line separators. A raw one could end the line for an editor or a compiler, or hide
// what the line says.
inline bool mustBeEscaped(std::string_view text, std::size_t at, std::size_t& length) {
  const auto byte = [&](std::size_t offset) {
    return at + offset < text.size() ? static_cast<unsigned char>(text[at + offset]) : 0;
  };
  length = 1;
  if (byte(0) < 0x20 || byte(0) == 0x7F) return true;
  if (byte(0) == 0xC2 && byte(1) >= 0x80 && byte(1) <= 0x9F) {
    length = 2;
    return true;
  }
  if (byte(0) == 0xE2 && byte(1) == 0x80 && (byte(2) == 0xA8 || byte(2) == 0xA9)) {
    length = 3;
    return true;
  }
  return false;
}

// Parses the literal whose opening quote is at `openingQuote`. Escapes: \0 \\ \t \n \r \" \' and
// \u{X} with one to eight hexadecimal digits naming a Unicode scalar. An interpolation "\(", any
// other escape, a character that must be escaped, or the end of the text before the closing
// quote is an error.
inline SwiftStringLiteral parseSwiftStringLiteral(std::string_view source,
                                                  std::size_t openingQuote) {
  SwiftStringLiteral literal;
  if (openingQuote >= source.size() || source[openingQuote] != '"') {
    literal.error = "no opening quote";
    return literal;
  }
  std::size_t i = openingQuote + 1;
  while (i < source.size()) {
    const char c = source[i];
    std::size_t rawLength = 1;
    if (c == '"') {
      literal.end = i + 1;
      return literal;
    }
    if (c != '\\' && mustBeEscaped(source, i, rawLength)) {
      literal.error = "raw control character or line separator at byte " + std::to_string(i);
      return literal;
    }
    if (c != '\\') {
      literal.value += c;
      ++i;
      continue;
    }
    if (i + 1 >= source.size()) break;
    const char escape = source[i + 1];
    i += 2;
    switch (escape) {
      case '0':
        literal.value += '\0';
        continue;
      case '\\':
        literal.value += '\\';
        continue;
      case 't':
        literal.value += '\t';
        continue;
      case 'n':
        literal.value += '\n';
        continue;
      case 'r':
        literal.value += '\r';
        continue;
      case '"':
        literal.value += '"';
        continue;
      case '\'':
        literal.value += '\'';
        continue;
      case 'u': {
        if (i >= source.size() || source[i] != '{') {
          literal.error = "\\u without {";
          return literal;
        }
        std::size_t digits = 0;
        char32_t scalar = 0;
        ++i;
        while (i < source.size() && std::isxdigit(static_cast<unsigned char>(source[i]))) {
          const char digit = source[i];
          scalar =
              scalar * 16 + static_cast<char32_t>(std::isdigit(static_cast<unsigned char>(digit))
                                                      ? digit - '0'
                                                      : (digit | 0x20) - 'a' + 10);
          ++digits;
          ++i;
        }
        if (digits < 1 || digits > 8 || i >= source.size() || source[i] != '}') {
          literal.error = "\\u{} needs one to eight hexadecimal digits";
          return literal;
        }
        ++i;
        if (scalar > 0x10FFFF || (scalar >= 0xD800 && scalar <= 0xDFFF)) {
          literal.error = "\\u{} names no Unicode scalar";
          return literal;
        }
        appendUtf8(literal.value, scalar);
        continue;
      }
      case '(':
        literal.error = "an interpolation";
        return literal;
      default:
        literal.error = std::string("unknown escape \\") + escape;
        return literal;
    }
  }
  literal.error = "no closing quote";
  return literal;
}

}  // namespace tessary::testing
