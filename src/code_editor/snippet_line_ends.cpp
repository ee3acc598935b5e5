#include "tessary/code_editor/snippet_line_ends.h"

namespace tessary::code_editor {

std::string snippetLineEnds(std::string_view edited, NoBreakSpaces noBreakSpaces) {
  constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  constexpr std::string_view kNoBreakSpace = "\xC2\xA0";
  if (edited.starts_with(kByteOrderMark)) edited.remove_prefix(kByteOrderMark.size());
  std::string text;
  text.reserve(edited.size());
  for (std::size_t i = 0; i < edited.size(); ++i) {
    if (edited[i] == '\r') {
      text += '\n';
      if (i + 1 < edited.size() && edited[i + 1] == '\n') ++i;
    } else if (noBreakSpaces == NoBreakSpaces::asSpaces &&
               edited.substr(i).starts_with(kNoBreakSpace)) {
      text += ' ';
      ++i;
    } else {
      text += edited[i];
    }
  }
  return text;
}

}  // namespace tessary::code_editor
