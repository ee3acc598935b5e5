#include "tessary/code_editor/code_highlighter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "support/generated_effects.h"
#include "tessary/code_editor/snippet_layout.h"
#include "tessary/platform/swift_tokenizer.h"

namespace tessary::code_editor {
namespace {

using platform::MutableAttributedString;

// The colouring written out token by token, every run with a set of its own.
MutableAttributedString referenceHighlight(std::string_view code, double textSize) {
  const CodeHighlighter highlighter(textSize);
  MutableAttributedString result;
  const auto append = [&](std::size_t begin, std::size_t end, const platform::Color& color) {
    platform::TextAttributes attributes = *highlighter.regularTextAttributes();
    attributes.foregroundColor = color;
    result.append(code.substr(begin, end - begin), platform::makeAttributeSet(attributes));
  };
  std::size_t plainStart = 0;
  for (const platform::Token& token : platform::SwiftTokenizer::tokenize(code)) {
    append(plainStart, token.begin, CodeHighlighter::theme().plainTextColor);
    append(token.begin, token.end,
           CodeHighlighter::colors()[static_cast<std::size_t>(token.tokenClass)]);
    plainStart = token.end;
  }
  append(plainStart, code.size(), CodeHighlighter::theme().plainTextColor);
  return result;
}

// The colouring agrees with the reference, also line by line through a kept state; pieces coloured
// at one size share their sets, classes of one colour included, so that a snippet put together from
// many pieces finds each set by pointer; the changed look is one run.
TEST(CodeHighlighterTest, AgreesWithTokenByTokenColouring) {
  std::vector<std::string> sources = {
      "", "let cell1 = CAEmitterCell()\ncell1.birthRate = 12.5 // note\n", "x.y",
      "particlesLayer.emitterShape = .circle\n\"unterminated \xF0\x9F\x94\xA5",
      "#if os(macOS)\nlet x = NSColor(red: 1/255.0, green: 0, blue: 0, alpha: 1).cgColor\n#endif"};
  for (std::uint32_t seed = 1; seed <= 4; ++seed) {
    sources.push_back(SnippetLayout::plainText(*testing::generateEffect(seed), CodePlatform::iOS));
  }
  for (const double textSize : {12.0, 3.5}) {
    const CodeHighlighter highlighter(textSize);
    std::vector<platform::AttributeSet> sets;
    for (const std::string& source : sources) {
      const MutableAttributedString coloured = highlighter.highlight(source);
      EXPECT_EQ(coloured, referenceHighlight(source, textSize)) << source.substr(0, 200);
      // Coloured line by line into one string, through the highlighter's own sets or not.
      MutableAttributedString byLines;
      MutableAttributedString byLinesMapped;
      CodeHighlighter::AppendState state;
      for (std::size_t start = 0; start < source.size();) {
        const std::size_t end = std::min(source.find('\n', start), source.size() - 1) + 1;
        const std::string_view line = std::string_view(source).substr(start, end - start);
        highlighter.appendHighlighted(line, byLines);
        highlighter.appendHighlighted(line, byLinesMapped, state);
        start = end;
      }
      EXPECT_TRUE(byLinesMapped == byLines && byLinesMapped.runCount() == byLines.runCount());
      for (std::size_t i = 0; i < coloured.attributeSetCount(); ++i) {
        sets.push_back(coloured.attributeSet(i));
      }
    }
    for (const platform::AttributeSet& first : sets) {
      for (const platform::AttributeSet& second : sets) {
        EXPECT_TRUE(*first != *second || first == second) << first->foregroundColor->red;
      }
    }
    const MutableAttributedString changed = highlighter.highlightChanged(sources[1]);
    EXPECT_EQ(changed, MutableAttributedString(sources[1], *highlighter.changedTextAttributes()));
    EXPECT_TRUE(changed.attributesAt(0).font->isBold());
  }
}

}  // namespace
}  // namespace tessary::code_editor
