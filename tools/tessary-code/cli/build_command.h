#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "command_line.h"
#include "tessary/code_editor/code_platform.h"

namespace tessary::tool {

enum class OutputFormat { automatic, plain, ansi, html, rtf };

struct BuildOptions {
  std::optional<std::filesystem::path> effect;  // the demo effect when absent
  code_editor::CodePlatform platform = code_editor::CodePlatform::macOS;
  OutputFormat format = OutputFormat::automatic;
  double textSize = 12.0;
  std::optional<std::filesystem::path> output;  // standard output when absent
};

// Writes the snippet of an effect in the chosen format.
void runBuild(const BuildOptions& options);

// `build [EFFECT] [--platform] [--format] [--text-size] [-o FILE]`.
Command addBuildCommand(CLI::App& app);

}  // namespace tessary::tool
