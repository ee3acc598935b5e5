#pragma once

#include <optional>
#include <string>

#include "tessary/platform/attributed_string.h"
#include "tessary/platform/color.h"

namespace tessary::platform {

// Attributed text for a terminal: 24-bit colour escapes, bold and italic for such fonts, links
// underlined. Every line ends with a reset, so colour never bleeds into what a terminal prints
// next, and a line cut off by a pager starts cleanly. Control characters other than tab and
// line feed are shown as visible stand-ins rather than sent to the terminal.
class AnsiRenderer {
 public:
  struct Options {
    // The colour of text that has no foreground colour.
    Color defaultTextColor = Color::whiteColor();
    // Absent: the terminal's own background. Given: every line, empty ones too, is filled with
    // it to the right edge, and translucent colours are blended with it.
    std::optional<Color> backgroundColor = std::nullopt;
  };

  AnsiRenderer() = default;
  explicit AnsiRenderer(Options options) : options_(options) {}

  std::string render(const MutableAttributedString& text) const;

 private:
  Options options_;
};

}  // namespace tessary::platform
