#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "command_line.h"
#include "tessary/code_editor/code_analysis_result.h"
#include "tessary/code_editor/code_platform.h"
#include "tessary/store/data_store.h"
#include "tessary/store/layer_config.h"

namespace tessary::tool {

struct ApplyOptions {
  std::filesystem::path effect;
  std::optional<std::filesystem::path> edited;  // standard input when absent
  code_editor::CodePlatform platform = code_editor::CodePlatform::macOS;
  std::optional<std::filesystem::path> output;  // the effect file itself when absent
};

// Exit statuses of `apply`; usage and file errors are thrown as CommandError.
inline constexpr int kApplyValid = 0;
inline constexpr int kApplyNotValid = 1;

// Builds the effect's snippet, analyses the edited text against it and saves the effect when the
// store took at least one change. Prints the answer, then one line per change:
// "<variable>.<property>: <old> -> <new>". Returns kApplyValid or kApplyNotValid.
int runApply(const ApplyOptions& options);

// `apply EFFECT [EDITED] [--platform] [-o FILE]`.
Command addApplyCommand(CLI::App& app);

// What an edited snippet did to an effect.
struct AppliedEdit {
  code_editor::CodeAnalysisResult answer;
  std::vector<store::StoreChange> changes;
};

// Builds the snippet of `layer`, analyses `edited` against it and writes what it reads into
// `layer`, as a host does with one edit. `edited` has the snippet's own line ends.
AppliedEdit applyEditedText(const store::LayerConfigRef& layer, std::string_view edited,
                            code_editor::CodePlatform platform);

// The answer on the first line, then one line per change: "<variable>.<property>: <old> ->
// <new>".
std::string describe(const AppliedEdit& applied);

}  // namespace tessary::tool
