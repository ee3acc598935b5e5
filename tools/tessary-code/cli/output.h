#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tessary::tool {

// Writes `contents` to standard output, or to `path` whole: into a temporary file beside it that
// is renamed over it, so a failure never leaves a partial file. Throws CommandError.
void writeOutput(const std::optional<std::filesystem::path>& path, std::string_view contents);

// The whole contents of a file a person named. Throws CommandError "<path>: cannot read: ...".
std::string readInput(const std::filesystem::path& path);

// Whether standard output is a terminal that should get colour (NO_COLOR unset or empty).
bool standardOutputWantsColor();

}  // namespace tessary::tool
