#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tessary::code_editor {

// One token of Swift or Objective-C source as the importer reads it. Comments and blanks are not
// tokens; a line break before a token is noted on it, since a Swift statement ends there.
struct SourceToken {
  enum class Kind : std::uint8_t { identifier, number, string, punctuation };

  Kind kind = Kind::punctuation;
  bool lineBreakBefore = false;
  // A string whose value cannot be known before run time: it interpolates an expression.
  bool interpolated = false;
  std::uint32_t begin = 0;
  std::uint32_t end = 0;
  // An identifier's name without backticks, an operator's characters, a number's value as text,
  // a string's decoded value.
  std::string text;
  // An interpolating string's decoded text and the source of its interpolations, taking turns:
  // "a\\(i)b" is "a", "i", "b".
  std::vector<std::string> pieces;
};

}  // namespace tessary::code_editor
