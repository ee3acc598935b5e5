#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace tessary::platform {

// The classes a source tokenizer sorts its tokens into. Text outside every token is plain. How a
// class looks is decided by a theme, not here.
enum class TokenClass : std::uint8_t {
  keyword,
  string,
  type,
  call,
  number,
  comment,
  property,
  dotAccess,
  preprocessing,
};

inline constexpr std::size_t tokenClassCount = 9;

// The class's name as written in source code ("dotAccess"), for marked-up text and style names.
constexpr std::string_view tokenClassName(TokenClass tokenClass) {
  switch (tokenClass) {
    case TokenClass::keyword:
      return "keyword";
    case TokenClass::string:
      return "string";
    case TokenClass::type:
      return "type";
    case TokenClass::call:
      return "call";
    case TokenClass::number:
      return "number";
    case TokenClass::comment:
      return "comment";
    case TokenClass::property:
      return "property";
    case TokenClass::dotAccess:
      return "dotAccess";
    case TokenClass::preprocessing:
      return "preprocessing";
  }
  return "";
}

}  // namespace tessary::platform
