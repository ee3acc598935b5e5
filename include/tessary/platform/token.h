#pragma once

#include <cstdint>

#include "tessary/platform/token_class.h"

namespace tessary::platform {

// One classified stretch of source text: the half-open byte range [begin, end) of its UTF-8
// text and its class.
struct Token {
  TokenClass tokenClass = TokenClass::keyword;
  std::uint32_t begin = 0;
  std::uint32_t end = 0;

  constexpr bool operator==(const Token&) const = default;
};

}  // namespace tessary::platform
