#include "tessary/platform/fatal_error.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace tessary::platform {

void fatalError(std::string_view message, std::source_location location) {
  const std::string text = "Fatal error: " + std::string(message) + ": file " +
                           location.file_name() + ", line " + std::to_string(location.line()) +
                           "\n";
  std::fputs(text.c_str(), stderr);
  std::fflush(stderr);
  std::abort();
}

}  // namespace tessary::platform
