#pragma once

// The attributed text the renderer tests share, and their golden-file check.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "tessary/platform/attributed_string.h"

namespace tessary::platform::renderer_sample {

inline Color rgb(int red, int green, int blue, double alpha = 1.0) {
  return Color::colorWithRed(red / 255.0, green / 255.0, blue / 255.0, alpha);
}

// A few snippet-like lines: token colours, a bold changed line, two links, an emoji, characters
// every format must escape, a control character, a translucent colour, text without any
// attributes, and three paragraph layouts (indented, hanging, none).
inline MutableAttributedString sampleText() {
  const Font regular = Font::fontWithNameOrSystemFont("Menlo Regular", 12.0);
  const Font bold = Font::fontWithNameOrSystemFont("Menlo Bold", 12.0);
  const ParagraphStyle indented{TextAlignment::left, 16.32, 16.32};
  const ParagraphStyle hanging{TextAlignment::left, 24.0, 0.0};
  const auto look = [&](std::optional<Color> color, const Font& font,
                        std::optional<ParagraphStyle> paragraph) {
    return makeAttributeSet({.font = font, .foregroundColor = color, .paragraphStyle = paragraph});
  };
  const AttributeSet comment = look(rgb(85, 202, 89), regular, indented);
  const AttributeSet keyword = look(rgb(198, 44, 157), regular, indented);
  const AttributeSet plain = look(std::nullopt, regular, indented);
  const AttributeSet string = look(rgb(219, 44, 56), regular, indented);
  const AttributeSet changed = look(Color::greenColor(), bold, indented);
  const AttributeSet faint = look(rgb(255, 255, 255, 0.5), regular, hanging);
  const AttributeSet system = makeAttributeSet({.font = Font::systemFontOfSize(13.0)});

  MutableAttributedString text;
  text.append("\n/*  Import texture -- Export texture  */\n", comment);
  text.append("let", keyword);
  text.append(" name = ", plain);
  text.append("\"A<b>&'c\\\" \xF0\x9F\x98\x80\"", string);
  text.append("\n", plain);
  text.append("cell1.birthRate = 120.0\n", changed);
  text.append("hanging {braces} and a\ttab\n", faint);
  text.append("no attributes \x1B[31m caf\xC3\xA9 \xE6\x98\x9F\n", AttributeSet());
  text.append("system font", system);
  text.addAttributes({.link = "0: Import"}, {5, 14});
  text.addAttributes({.link = "0_1: \"Export\" <&>"}, {23, 14});
  return text;
}

// Compares with tests/golden/renderers/<name>. On a difference the output is written beside the
// golden file as <name>.new for a person to review and, if right, move over it.
inline void expectMatchesGolden(const std::string& actual, const std::string& name) {
  const std::filesystem::path path =
      std::filesystem::path(TESSARY_SOURCE_DIR) / "tests" / "golden" / "renderers" / name;
  std::filesystem::path review = path;
  review += ".new";
  std::ifstream in(path, std::ios::binary);
  std::ostringstream expected;
  expected << in.rdbuf();
  if (in && expected.str() == actual) {
    std::filesystem::remove(review);
    return;
  }
  std::ofstream(review, std::ios::binary) << actual;
  ADD_FAILURE() << "output differs from " << path << "; wrote " << review << " for review";
}

}  // namespace tessary::platform::renderer_sample
