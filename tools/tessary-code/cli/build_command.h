#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "command_line.h"
#include "output.h"
#include "tessary/code_editor/code_platform.h"

namespace tessary::tool {

enum class OutputFormat { automatic, plain, ansi, html, rtf };

struct BuildOptions {
  std::optional<std::filesystem::path> effect;  // the demo effect when absent; "-" standard input
  code_editor::CodePlatform platform = code_editor::CodePlatform::macOS;
  OutputFormat format = OutputFormat::automatic;
  ColorChoice color = ColorChoice::automatic;  // what `automatic` writes to standard output
  double textSize = 12.0;
  std::optional<std::filesystem::path> output;  // standard output when absent or "-"
};

// Writes the snippet of an effect in the chosen format. `automatic` follows the output file's
// extension (.html, .htm, .rtf, .swift), and is otherwise ansi when colour is wanted, plain when
// not. Refuses an output that is the effect file.
void runBuild(const BuildOptions& options);

// `build [EFFECT|-] [--platform] [--format] [--color] [--text-size] [-o FILE|-]`.
Command addBuildCommand(CLI::App& app);

}  // namespace tessary::tool
