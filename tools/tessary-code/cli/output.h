#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tessary::tool {

// Whether `path` names standard output or input: "-".
bool isStandardStream(const std::filesystem::path& path);

// Whether `path` is standard output ("-") or a device or pipe that exists (/dev/null): written
// into as it is, since it cannot be replaced and holds no file to lose.
bool isStreamOutput(const std::filesystem::path& path);

// Writes `contents` to standard output (no path, or "-"), into a device or pipe that exists
// (/dev/null), or to a file whole (a link's target): into a temporary file beside it that is
// renamed over it, so a failure never leaves a partial file. Throws CommandError.
void writeOutput(const std::optional<std::filesystem::path>& path, std::string_view contents);

// The whole contents of a file a person named, or of standard input for "-". Throws CommandError
// "<path>: cannot read: ...".
std::string readInput(const std::filesystem::path& path);

// Throws CommandError when `output` is the file `input` (through a link or another path too),
// which writing would destroy; `input` is what the command reads there ("the effect file").
void refuseToOverwrite(const std::filesystem::path& output, const std::filesystem::path& inputPath,
                       const std::string& input);

// How a command colours what it writes: --color auto, always or never.
enum class ColorChoice { automatic, always, never };

// Whether to colour what goes to standard output. `always` and `never` decide; otherwise a
// non-empty NO_COLOR turns colour off, a non-empty FORCE_COLOR or CLICOLOR_FORCE other than "0"
// turns it on, TERM=dumb turns it off, and otherwise standard output must be a terminal.
bool standardOutputWantsColor(ColorChoice choice);

}  // namespace tessary::tool
