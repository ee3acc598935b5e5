#include "tessary/platform/ansi_renderer.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "renderer_sample.h"
#include "support/golden_file.h"
#include "support/test_seed.h"

namespace tessary::platform {
namespace {

using renderer_sample::rgb;

std::string withoutEscapes(const std::string& text) {
  static const std::regex escape("\x1B\\[[0-9;]*[A-Za-z]");
  return std::regex_replace(text, escape, "");
}

TEST(AnsiRendererTest, MatchesGolden) {
  const MutableAttributedString sample = renderer_sample::sampleText();
  testing::expectMatchesGolden(AnsiRenderer().render(sample), "renderers/sample.ansi");
  testing::expectMatchesGolden(
      AnsiRenderer({.backgroundColor = Color::colorWithWhite(0.12, 1.0)}).render(sample),
      "renderers/sample-background.ansi");
}

// What the sample does not show: the default colour, empty lines, a background without text,
// and control characters beyond ESC.
TEST(AnsiRendererTest, EscapesAndResets) {
  const AttributeSet red = makeAttributeSet({.foregroundColor = rgb(219, 44, 56)});
  struct Case {
    MutableAttributedString text;
    AnsiRenderer::Options options;
    std::string expected;
  };
  const Case cases[] = {
      {MutableAttributedString("a", AttributeSet()),
       {.defaultTextColor = rgb(1, 2, 3)},
       "\x1B[0;38;2;1;2;3ma\x1B[0m"},
      {MutableAttributedString("ab\n\ncd\n", red),
       {},
       "\x1B[0;38;2;219;44;56mab\x1B[0m\n\n\x1B[0;38;2;219;44;56mcd\x1B[0m\n"},
      {MutableAttributedString("a\n\n", red),
       {.backgroundColor = rgb(0, 0, 255)},
       "\x1B[0;38;2;219;44;56;48;2;0;0;255ma\x1B[K\x1B[0m\n"
       "\x1B[0;48;2;0;0;255m\x1B[K\x1B[0m\n"},
      {MutableAttributedString("\x1B]0;\x07\t\x7F\xC2\x9B\xC2\xA0", AttributeSet()),
       {},
       "\x1B[0;38;2;255;255;255m\xE2\x90\x9B]0;\xE2\x90\x87\t\xE2\x90\xA1\xEF\xBF\xBD\xC2\xA0"
       "\x1B[0m"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(AnsiRenderer(c.options).render(c.text), c.expected) << c.expected;
  }
}

// Any text keeps its characters, control characters shown, and no line leaves a look behind.
TEST(AnsiRendererTest, KeepsTheTextAndNeverBleedsPastALine) {
  testing::SeededRandom random;
  for (int round = 0; round < 300; ++round) {
    const MutableAttributedString text = renderer_sample::randomText(random);
    const AnsiRenderer::Options options{
        .backgroundColor = round % 2 == 0 ? std::nullopt : std::optional(rgb(30, 30, 30))};
    const std::string rendered = AnsiRenderer(options).render(text);
    ASSERT_EQ(withoutEscapes(rendered), renderer_sample::withControlsShown(text.string()));
    std::size_t lineStart = 0;
    while (lineStart < rendered.size()) {
      const std::size_t lineEnd = std::min(rendered.find('\n', lineStart), rendered.size());
      const std::string_view line(rendered.data() + lineStart, lineEnd - lineStart);
      ASSERT_TRUE(line.find('\x1B') == std::string::npos || line.ends_with("\x1B[0m")) << line;
      lineStart = lineEnd + 1;
    }
  }
}

}  // namespace
}  // namespace tessary::platform
