#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "command_line.h"
#include "tessary/code_editor/code_analysis_result.h"
#include "tessary/code_editor/code_platform.h"
#include "tessary/code_editor/line_problem.h"
#include "tessary/store/data_store.h"
#include "tessary/store/layer_config.h"

namespace tessary::tool {

struct ApplyOptions {
  std::filesystem::path effect;
  std::filesystem::path edited = "-";  // "-" is standard input
  code_editor::CodePlatform platform = code_editor::CodePlatform::macOS;
  std::optional<std::filesystem::path> output;  // the effect file itself when absent; "-"
                                                // standard output
};

// Exit statuses of `apply`; usage and file errors are thrown as CommandError.
inline constexpr int kApplyValid = 0;
inline constexpr int kApplyNotValid = 1;
// The effect was saved, but the report could not be written.
inline constexpr int kApplySavedReportLost = 3;

// Builds the effect's snippet, analyses the edited text against it and saves the effect when the
// store took at least one change. Prints the answer ("no changes" when no line of the effect
// changed), then one line per change; on standard error one line per line that could not be
// used. Returns kApplyValid or kApplyNotValid.
int runApply(const ApplyOptions& options);

// `apply EFFECT [EDITED|-] [--platform] [-o FILE|-]`.
Command addApplyCommand(CLI::App& app);

// What an edited snippet did to an effect.
struct AppliedEdit {
  code_editor::CodeAnalysisResult answer;
  std::vector<store::StoreChange> changes;
  std::vector<code_editor::LineProblem> problems;

  // No line of the effect's snippet was changed or removed: nothing to apply.
  bool changedNothing() const;
};

// Builds the snippet of `layer`, analyses `edited` against it and writes what it reads into
// `layer`, as a host does with one edit. `edited` has the snippet's own line ends.
AppliedEdit applyEditedText(const store::LayerConfigRef& layer, std::string_view edited,
                            code_editor::CodePlatform platform);

// The answer on the first line ("no changes" when nothing changed), then one line per change:
// "<variable>.<property>: <old> -> <new>", the numbers as the snippet for `platform` shows them
// and, where the store holds them otherwise, " (stored: <old> -> <new>)". `layer` is the effect
// after the changes.
std::string describe(const AppliedEdit& applied, code_editor::CodePlatform platform,
                     const store::LayerConfig& layer);

// Writes an edit's report to standard output. When the effect was saved before (to `savedTo`), a
// report that cannot be written says so, thrown as CommandError with kApplySavedReportLost.
void writeReport(const std::string& report, const std::optional<std::filesystem::path>& savedTo);

// One line per line of `edited` that could not be used, each beginning with `fileName` and the
// line number; and one when the text names the other platform's classes.
std::string explainProblems(const AppliedEdit& applied, std::string_view edited,
                            const std::string& fileName, code_editor::CodePlatform platform);

}  // namespace tessary::tool
