#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tessary::platform {

// Whether `text` is well-formed UTF-8 (shortest forms, no surrogates, nothing above U+10FFFF).
bool isWellFormedUtf8(std::string_view text);

// The byte offset where the first part of `text` that is not well-formed UTF-8 starts, if any.
std::optional<std::size_t> firstIllFormedUtf8Offset(std::string_view text);

// `text` with every ill-formed part replaced by U+FFFD, one replacement character per maximal
// ill-formed sequence: the text the attributed string and the regular expressions read.
std::string wellFormedUtf8(std::string_view text);

}  // namespace tessary::platform
