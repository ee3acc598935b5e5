#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tessary/code_editor/code_platform.h"
#include "tessary/platform/ns_range.h"
#include "tessary/store/config_type.h"

namespace tessary::code_editor {

// Finds, in an edited snippet, the line that now stands where a built line was, and checks that
// the edited text still has the shape of a property's line.
//
// A built line is found again by its fixed beginning, everything up to its last "=", searched as
// literal text and only where it begins a line (blanks and tabs before it allowed). So no name can
// make the search mean something else, and a line that merely contains another line's text
// ("x cell2.lifetime = 5") never stands in for it.
class ChangeLocator {
 public:
  // The fixed beginning of a built line: from the start of the first line of `string` that holds
  // a "=" to the last "=" on that line, without the blanks and tabs it may begin with. Absent for
  // a line that is never analysed: a cell header (it holds "UIImage", "NSImage" or
  // "CAEmitterCell()") or a text without "=".
  static std::optional<std::string_view> fixedBeginning(std::string_view string);

  // The first line of `newString` that begins with `fixedBeginning` (as `fixedBeginning` gives
  // it): the byte range from the fixed beginning to the end of that line, its terminator left
  // out.
  static std::optional<platform::StringRange> findLine(std::string_view fixedBeginning,
                                                       std::string_view newString);

  // The text that now stands where the built line `string` was: `string` itself for a line that is
  // never analysed, nothing when no line of `newString` begins with its fixed beginning.
  static std::optional<std::string> currentLine(std::string_view string,
                                                std::string_view newString);

  // The keys of `LinePatterns::linePatterns()` that a line of `type` must match on `platform`, in
  // the order they are checked.
  static std::vector<std::string> linePatternKeys(store::ConfigType type, CodePlatform platform);

  // Whether every line pattern of `type` on `platform` matches somewhere in `newString`; false
  // when a key has no pattern (a type whose line is not analysed).
  static bool matchesLinePatterns(std::string_view newString, CodePlatform platform,
                                  store::ConfigType type);
};

}  // namespace tessary::code_editor
