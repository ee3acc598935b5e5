#pragma once

#include <filesystem>
#include <optional>

#include "tessary/code_editor/code_platform.h"

namespace tessary::tool {

struct ServeOptions {
  std::optional<std::filesystem::path> effect;  // the demo effect, kept in memory, when absent
  code_editor::CodePlatform platform = code_editor::CodePlatform::macOS;
  int port = 8765;  // 0 for any free port
};

// Serves the playground on 127.0.0.1 until the program is interrupted: a page with the effect's
// controls, the coloured and editable snippet and a live preview. Prints the address to open.
void runServe(const ServeOptions& options);

}  // namespace tessary::tool
