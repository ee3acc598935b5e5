#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "tessary/platform/attributed_string.h"
#include "tessary/platform/color.h"
#include "tessary/platform/paragraph_style.h"

// Pieces the ANSI, HTML and RTF renderers share. Not part of the public API.
namespace tessary::platform::rendering {

// A colour as three 8-bit channels.
struct Rgb {
  int red;
  int green;
  int blue;

  bool operator==(const Rgb&) const = default;
};

// The colour as seen over `background`: a colour that is not opaque is blended with it.
Rgb visibleRgb(Color color, Color background);

// A number in plain decimal notation with at most `fractionDigits` digits after the point and
// no trailing zeros ("16.32", "12", "-0.5").
void appendDecimal(std::string& out, double value, int fractionDigits);

// Every byte other than ASCII letters, digits and "-._~" as %XX, so the result is safe inside
// a URL fragment, an HTML attribute and an RTF field alike.
void appendPercentEncoded(std::string& out, std::string_view text);

// What a renderer writes in place of a character that must not reach its output raw: the
// control characters other than tab and line feed. C0 controls and DEL become their visible
// control pictures (U+2400 to U+2421), C1 controls U+FFFD. Empty for every other character.
std::string_view controlStandIn(char32_t codePoint);

// Consecutive lines whose paragraphs have equal paragraph styles (the style of a paragraph is
// that of its first character). Each line holds its line feed; the last may lack one.
struct ParagraphBlock {
  std::size_t begin;
  std::size_t end;
  const ParagraphStyle* style;  // null: no paragraph style
};
std::vector<ParagraphBlock> paragraphBlocks(const MutableAttributedString& text);

}  // namespace tessary::platform::rendering
