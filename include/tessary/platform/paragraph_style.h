#pragma once

namespace tessary::platform {

// The text system's alignment values, in its order.
enum class TextAlignment { left = 0, right = 1, center = 2, justified = 3, natural = 4 };

// The layout of a paragraph. Indents are in points from the leading edge: the first line of a
// paragraph starts at firstLineHeadIndent, lines that wrap start at headIndent.
struct ParagraphStyle {
  TextAlignment alignment = TextAlignment::natural;
  double headIndent = 0.0;
  double firstLineHeadIndent = 0.0;

  bool operator==(const ParagraphStyle&) const = default;
};

}  // namespace tessary::platform
