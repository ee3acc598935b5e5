#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <source_location>
#include <string>
#include <string_view>
#include <vector>

#include "tessary/platform/ns_range.h"

namespace tessary::platform {

// A regular expression in ICU syntax (look-behind "(?<=", look-ahead "(?=", Unicode "\d"),
// compiled once with no options: case-sensitive, "." stops at line terminators, greedy
// quantifiers. "^" matches only at the start of the whole text. "$" matches at the end of the
// whole text and also just before one line terminator that ends it (line feed, vertical tab,
// form feed, carriage return, carriage return and line feed, U+0085, U+2028, U+2029): "a$"
// finds the "a" of "a\n" but not of "a\n\n" or "a\nb".
//
// Every search covers the whole text given. Text is UTF-8 and is searched in place; ill-formed
// bytes read as U+FFFD, as one replacement character per maximal ill-formed sequence, and never
// match anything else. Copies share the compiled pattern, which is immutable, so one expression
// may be searched from many threads at once.
class RegularExpression {
 public:
  // Compiles `pattern`. A pattern that does not compile is a programming error: the process stops
  // with ICU's reason and the caller's source location.
  explicit RegularExpression(std::string_view pattern,
                             std::source_location location = std::source_location::current());

  // The pattern text the expression was compiled from.
  const std::string& pattern() const;

  // The byte range of the leftmost match, if any.
  std::optional<StringRange> firstMatch(std::string_view text) const;

  // The byte range of the leftmost match that starts at or after `fromByte`. The text before
  // `fromByte` stays visible to look-behind and "^" still means the start of the whole text, so
  // a search from the start of a line sees what an earlier line ends with. An offset inside a
  // UTF-8 sequence moves forward to the next character; one past the end finds nothing.
  std::optional<StringRange> firstMatch(std::string_view text, std::size_t fromByte) const;

  // The leftmost match counted in UTF-16 code units, the way a text view counts positions.
  std::optional<NSRange> firstMatchNSRange(std::string_view text) const;

  bool didMatch(std::string_view text) const;

  // All non-overlapping matches, left to right. After an empty match the search goes on one
  // character further, so a pattern that matches the empty string yields one match per position.
  std::vector<StringRange> matches(std::string_view text) const;

  // `text` as a pattern that matches exactly that text: every character with a meaning in the
  // pattern syntax is escaped with a backslash, letters, digits and everything else stay as they
  // are.
  static std::string escapedPattern(std::string_view text);

 private:
  struct Compiled;
  std::shared_ptr<const Compiled> compiled_;
};

}  // namespace tessary::platform
