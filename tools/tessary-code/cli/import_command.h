#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "command_line.h"
#include "tessary/code_editor/code_platform.h"

namespace tessary::tool {

struct ImportOptions {
  std::filesystem::path source;                       // "-" is standard input
  std::optional<std::filesystem::path> output;        // standard output when absent or "-"
  std::optional<code_editor::CodePlatform> platform;  // decided from the source when absent
  std::optional<double> viewWidth;
  std::optional<double> viewHeight;
  std::string layer;  // a number from 1 or a name; the first layer when empty
  bool list = false;
  std::optional<std::filesystem::path> images;  // a folder of image files besides the source's
};

// Reads Swift or Objective-C source and writes the effect of one of its emitter layers, or with
// `list` the layers found. Exit status 0 when every emitter setting was kept, 1 when some were
// not (each named on standard error), 2 when nothing could be imported.
int runImport(const ImportOptions& options);

// `import SOURCE [-o EFFECT] [--platform] [--view-size WxH] [--layer N|NAME] [--list]
// [--images DIR]`.
Command addImportCommand(CLI::App& app);

}  // namespace tessary::tool
