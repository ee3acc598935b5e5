#include "output.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "command_error.h"
#include "tessary/platform/atomic_file.h"

namespace tessary::tool {

void writeOutput(const std::optional<std::filesystem::path>& path, std::string_view contents) {
  if (path) {
    try {
      platform::writeFileAtomically(*path, contents);
    } catch (const platform::FileError& error) {
      throw CommandError(error.path().string() + ": cannot write: " + error.reason());
    }
    return;
  }
  if (std::fwrite(contents.data(), 1, contents.size(), stdout) != contents.size() ||
      std::fflush(stdout) != 0) {
    throw CommandError("standard output: write failed");
  }
}

std::string readInput(const std::filesystem::path& path) {
  try {
    return platform::readWholeFile(path);
  } catch (const platform::FileError& error) {
    throw CommandError(error.path().string() + ": cannot read: " + error.reason());
  }
}

bool standardOutputWantsColor() {
  const char* noColor = std::getenv("NO_COLOR");
  if (noColor != nullptr && noColor[0] != '\0') return false;
  return ::isatty(STDOUT_FILENO) == 1;
}

}  // namespace tessary::tool
