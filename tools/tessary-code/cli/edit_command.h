#pragma once

#include <filesystem>

#include "command_line.h"
#include "tessary/code_editor/code_platform.h"

namespace tessary::tool {

struct EditOptions {
  std::filesystem::path effect;
  code_editor::CodePlatform platform = code_editor::CodePlatform::macOS;
};

// Opens the effect's snippet in the person's editor ($VISUAL, then $EDITOR, then vi), applies the
// saved text like `apply` and saves the effect. When a line could not be used it offers to reopen
// the edited text (on a terminal), or keeps it in a file it names, so nothing typed is lost.
// Returns the exit status: 0 valid or nothing edited, 1 pending or invalid; a report that cannot
// be written after the save is thrown with kApplySavedReportLost.
int runEdit(const EditOptions& options);

// `edit EFFECT [--platform]`.
Command addEditCommand(CLI::App& app);

}  // namespace tessary::tool
