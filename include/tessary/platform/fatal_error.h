#pragma once

#include <source_location>
#include <string_view>

namespace tessary::platform {

// Stops the process for a programming error: prints "Fatal error", the message and the source
// location to standard error, then aborts. Never used for bad input from a person or a file.
[[noreturn]] void fatalError(std::string_view message,
                             std::source_location location = std::source_location::current());

}  // namespace tessary::platform
