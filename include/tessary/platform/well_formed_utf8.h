#pragma once

#include <string>
#include <string_view>

namespace tessary::platform {

// Whether `text` is well-formed UTF-8 (shortest forms, no surrogates, nothing above U+10FFFF).
bool isWellFormedUtf8(std::string_view text);

// `text` with every ill-formed part replaced by U+FFFD, one replacement character per maximal
// ill-formed sequence: the text the attributed string and the regular expressions read.
std::string wellFormedUtf8(std::string_view text);

}  // namespace tessary::platform
