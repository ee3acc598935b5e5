#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "tessary/code_editor/code_platform.h"

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

// Edited text as the snippet's own kind of text: CRLF and lone CR line ends become LF, and a
// leading byte-order mark is dropped.
std::string snippetLineEnds(std::string_view edited);

}  // namespace tessary::tool
