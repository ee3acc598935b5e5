#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>

namespace tessary::code_editor {

// The answer to an edit of the snippet, and the outcome of one edited line. The order of the
// cases is their ordinal.
enum class CodeAnalysisResult : std::uint8_t {
  invalid,  // nothing usable: no line changed, or a changed line lost its shape or its number
  pending,  // a number still being typed ("1."); nothing of that line was written
  valid,    // the changed lines were read and written into the store
};

constexpr std::string_view toString(CodeAnalysisResult result) {
  switch (result) {
    case CodeAnalysisResult::invalid:
      return "invalid";
    case CodeAnalysisResult::pending:
      return "pending";
    case CodeAnalysisResult::valid:
      return "valid";
  }
  return "invalid";
}

}  // namespace tessary::code_editor

template <>
struct std::hash<tessary::code_editor::CodeAnalysisResult> {
  std::size_t operator()(tessary::code_editor::CodeAnalysisResult result) const noexcept {
    return std::hash<std::size_t>{}(static_cast<std::size_t>(result));
  }
};
