#pragma once

#include <cstddef>

namespace tessary::platform {

// A range of text as the text system counts it: a start and a length in UTF-16 code units.
struct NSRange {
  std::size_t location = 0;
  std::size_t length = 0;

  constexpr std::size_t end() const { return location + length; }
  constexpr bool operator==(const NSRange&) const = default;
};

// A half-open range of byte offsets into a UTF-8 string.
struct StringRange {
  std::size_t begin = 0;
  std::size_t end = 0;

  constexpr std::size_t size() const { return end - begin; }
  constexpr bool operator==(const StringRange&) const = default;
};

}  // namespace tessary::platform
