#pragma once

#include <optional>
#include <string_view>

#include "tessary/code_editor/code_analysis_result.h"
#include "tessary/code_editor/code_platform.h"
#include "tessary/code_editor/line_problem.h"
#include "tessary/platform/ns_range.h"
#include "tessary/platform/regular_expression.h"
#include "tessary/store/config_type.h"
#include "tessary/store/data_store.h"

namespace tessary::code_editor {

// Reads the new number or numbers of an edited line and writes them into the store.
//
// The numbers are read from the edited line itself: every value pattern is searched from the
// start of the line, and a first match that does not start on it counts as no match. The text
// after the line stays visible to look-ahead (the emitter height pattern needs the next line), so
// a name on another line can never supply a number.
class StoreUpdate {
 public:
  // Reads one number from `line`, a byte range of `text`. Without a pattern: nothing, `outcome`
  // unchanged. Otherwise `outcome` tells how it went: `invalid` when no number is found, the
  // number holds a foreign character or converts to infinity; `pending` when it is unfinished
  // (empty, or beginning or ending with "."); `valid` with the number, multiplied by the
  // platform's sign for `type`. Of several points in a number all but the first are dropped.
  static std::optional<double> readNumber(std::string_view text, platform::StringRange line,
                                          const platform::RegularExpression* pattern,
                                          CodePlatform platform, CodeAnalysisResult& outcome,
                                          store::ConfigType type);

  // Reads the numbers of the edited line `line` of `newString`, which shows the property of
  // `type` of the layer, or of the cell `cellIndex` (0 when absent) or its sub-cell
  // `subcellIndex`, and writes them with one store call (two for the position and size lines)
  // once all of them were read. The caller passes `outcome` as `invalid`; it ends as the last
  // number read left it. On macOS the position's Y is shown measured from the bottom of the view
  // and is mirrored back before it is stored. Of a line with several numbers, each number whose
  // text is still the one the snippet shows for the stored value keeps that value. When a number
  // cannot be read and `problem` is given, its reason, label and text say why.
  static void applyEdit(store::DataStore& dataStore, std::optional<int> cellIndex,
                        std::optional<int> subcellIndex, std::string_view newString,
                        platform::StringRange line, CodePlatform platform,
                        CodeAnalysisResult& outcome, store::ConfigType type,
                        LineProblem* problem = nullptr);

  // Converts a number text as strtod does in the "C" locale; nothing unless the whole text is
  // one number.
  static std::optional<double> convertedNumber(std::string_view numberText);
};

}  // namespace tessary::code_editor
