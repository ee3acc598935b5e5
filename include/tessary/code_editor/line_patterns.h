#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "tessary/code_editor/code_platform.h"
#include "tessary/platform/regular_expression.h"
#include "tessary/store/config_type.h"

namespace tessary::code_editor {

// What the edit analysis knows of the snippet's editable lines: the patterns that recognise each
// line (`linePatterns`), the patterns that pick the numbers out of the layer's lines
// (`layerValuePatterns`) and of one particular cell's lines (`cellValuePattern`). They mirror,
// character for character, the lines the snippet writers produce; a change to a line's text there
// needs the matching change here.
class LinePatterns {
 public:
  using PatternMap = std::map<std::string, platform::RegularExpression, std::less<>>;

  // The line patterns, keyed by the raw value of a cell property's type, by "background" or
  // "color" with a part suffix ("background1macOS", "color2", ...), and by "emitter position X",
  // "emitter position Y", "emitter width" and "emitter height". Compiled once, on first use.
  static const PatternMap& linePatterns();

  // The patterns of the layer's numbers: "background1" to "background4" (red, green, blue on
  // the 0 to 255 scale, then alpha), "emitter position X", "emitter position Y", "emitter width",
  // "emitter height". Each matches the number alone. Compiled once, on first use.
  static const PatternMap& layerValuePatterns();

  // The pattern of one number of one cell's line: the cell is named by `cellIndex` (0 when
  // absent) and `subcellIndex`; `component` picks red, green, blue or alpha (anything else) of
  // the colour line. Compiled anew on every call. Stops the process for a type that has no cell
  // value pattern.
  static platform::RegularExpression cellValuePattern(std::optional<int> cellIndex,
                                                      std::optional<int> subcellIndex,
                                                      std::optional<int> component,
                                                      CodePlatform platform,
                                                      store::ConfigType type);

  // The number of full stops in `text`.
  static std::size_t periodCount(std::string_view text);
};

}  // namespace tessary::code_editor
