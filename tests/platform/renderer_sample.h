#pragma once

// The attributed texts the renderer tests share.

#include <gtest/gtest.h>

#include <iterator>
#include <random>
#include <string>

#include "tessary/platform/attributed_string.h"

namespace tessary::platform::renderer_sample {

inline Color rgb(int red, int green, int blue, double alpha = 1.0) {
  return Color::colorWithRed(red / 255.0, green / 255.0, blue / 255.0, alpha);
}

// A few snippet-like lines: token colours, a bold changed line, two links, an emoji, characters
// every format must escape, control characters, a translucent colour, text without any
// attributes, an empty line, a character that is -1 as a signed UTF-16 unit, a size in half
// points, and four paragraph layouts (indented, hanging, right-aligned, none).
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
  text.append("no attributes \x1B[31m caf\xC3\xA9 \xE6\x98\x9F \x1B]0;\x07\x7F\xC2\x9B\xC2\xA0\n\n",
              AttributeSet());
  text.append("\xEF\xBF\xBF right\n",
              makeAttributeSet({.font = Font::fontWithName("Menlo Bold", 13.25),
                                .paragraphStyle = ParagraphStyle{TextAlignment::right, 1, 2}}));
  text.append("system font", system);
  text.addAttributes({.link = "0: Import"}, {5, 14});
  text.addAttributes({.link = "0_1: \"Export\" <&>"}, {23, 14});
  return text;
}

// Text in random pieces and looks: markup and escape characters of every format, control
// characters, line feeds, emoji; colours, fonts, links with markup in them, paragraph styles.
template <typename Random>
MutableAttributedString randomText(Random& random) {
  static const std::string_view kPieces[] = {
      "a",           "let ",  "\n",       "\n\n",     "\t",
      "<b>",         "&amp;", "&",        "\"",       "'",
      "{",           "}",     "\\",       "\x1B[31m", "\x07",
      "\r",          "\x7F",  "\xC2\x85", "\xC2\xA0", "\xF0\x9F\x98\x80",
      "caf\xC3\xA9", "]]>",   "\\par ",   "%41"};
  const Font regular = Font::fontWithNameOrSystemFont("Menlo Regular", 12.0);
  const AttributeSet looks[] = {
      AttributeSet(),
      makeAttributeSet({.font = regular, .foregroundColor = rgb(198, 44, 157)}),
      makeAttributeSet({.font = Font::fontWithNameOrSystemFont("Menlo Bold", 13.5)}),
      makeAttributeSet({.foregroundColor = rgb(255, 255, 255, 0.5), .link = "0: Import"}),
      makeAttributeSet({.font = regular, .link = "\"><i>&amp;\x1B</i>"}),
      makeAttributeSet({.font = Font::systemFontOfSize(11.0),
                        .paragraphStyle = ParagraphStyle{TextAlignment::left, 16.32, 16.32}}),
      makeAttributeSet({.paragraphStyle = ParagraphStyle{TextAlignment::right, 24.0, 0.0}}),
  };
  std::uniform_int_distribution<std::size_t> piece(0, std::size(kPieces) - 1);
  std::uniform_int_distribution<std::size_t> look(0, std::size(looks) - 1);
  MutableAttributedString text;
  for (int runs = std::uniform_int_distribution<int>(0, 12)(random); runs > 0; --runs) {
    std::string characters;
    for (int pieces = std::uniform_int_distribution<int>(1, 4)(random); pieces > 0; --pieces) {
      characters += kPieces[piece(random)];
    }
    text.append(characters, looks[look(random)]);
  }
  return text;
}

// What a reader sees of `text`: control characters other than tab and line feed as their
// pictures (U+2400 on), DEL as U+2421, C1 controls as U+FFFD.
inline std::string withControlsShown(std::string_view text) {
  std::string shown;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte < 0x20 && byte != '\t' && byte != '\n') {
      shown += "\xE2\x90";
      shown += static_cast<char>(0x80 + byte);
    } else if (byte == 0x7F) {
      shown += "\xE2\x90\xA1";
    } else if (byte == 0xC2 && i + 1 < text.size() &&
               static_cast<unsigned char>(text[i + 1]) < 0xA0) {
      shown += "\xEF\xBF\xBD";
      ++i;
    } else {
      shown += text[i];
    }
  }
  return shown;
}

}  // namespace tessary::platform::renderer_sample
