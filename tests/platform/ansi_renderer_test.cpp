#include "tessary/platform/ansi_renderer.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "renderer_sample.h"

namespace tessary::platform {
namespace {

using renderer_sample::rgb;

std::string withoutEscapes(const std::string& text) {
  static const std::regex escape("\x1B\\[[0-9;]*[A-Za-z]");
  return std::regex_replace(text, escape, "");
}

TEST(AnsiRendererTest, MatchesGolden) {
  const MutableAttributedString sample = renderer_sample::sampleText();
  renderer_sample::expectMatchesGolden(AnsiRenderer().render(sample), "sample.ansi");
  renderer_sample::expectMatchesGolden(
      AnsiRenderer({.backgroundColor = Color::colorWithWhite(0.12, 1.0)}).render(sample),
      "sample-background.ansi");
}

TEST(AnsiRendererTest, EscapesAndResets) {
  const AttributeSet red = makeAttributeSet({.foregroundColor = rgb(219, 44, 56)});
  const AttributeSet bold =
      makeAttributeSet({.font = Font::fontWithName("Menlo Bold", 12.0), .link = "x"});
  struct Case {
    const char* name;
    MutableAttributedString text;
    AnsiRenderer::Options options;
    std::string expected;
  };
  const Case cases[] = {
      {"empty", {}, {}, ""},
      {"default colour",
       MutableAttributedString("a", AttributeSet()),
       {.defaultTextColor = rgb(1, 2, 3)},
       "\x1B[0;38;2;1;2;3ma\x1B[0m"},
      {"reset before every line feed, nothing on empty lines",
       MutableAttributedString("ab\n\ncd\n", red),
       {},
       "\x1B[0;38;2;219;44;56mab\x1B[0m\n\n\x1B[0;38;2;219;44;56mcd\x1B[0m\n"},
      {"bold and underlined link",
       MutableAttributedString("b", bold),
       {},
       "\x1B[0;1;4;38;2;255;255;255mb\x1B[0m"},
      {"background fills every line",
       MutableAttributedString("a\n\n", red),
       {.backgroundColor = rgb(0, 0, 255)},
       "\x1B[0;38;2;219;44;56;48;2;0;0;255ma\x1B[K\x1B[0m\n"
       "\x1B[0;48;2;0;0;255m\x1B[K\x1B[0m\n"},
      {"translucent colour blended with the background",
       MutableAttributedString("a", makeAttributeSet({.foregroundColor = rgb(255, 255, 255, 0.5)})),
       {.backgroundColor = rgb(0, 0, 0)},
       "\x1B[0;38;2;128;128;128;48;2;0;0;0ma\x1B[K\x1B[0m"},
      {"control characters shown, not sent",
       MutableAttributedString("\x1B]0;\x07\t\x7F\xC2\x9B\xC2\xA0", AttributeSet()),
       {},
       "\x1B[0;38;2;255;255;255m\xE2\x90\x9B]0;\xE2\x90\x87\t\xE2\x90\xA1\xEF\xBF\xBD\xC2\xA0"
       "\x1B[0m"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(AnsiRenderer(c.options).render(c.text), c.expected) << c.name;
  }
}

TEST(AnsiRendererTest, KeepsTheTextAndNeverBleedsPastALine) {
  const MutableAttributedString sample = renderer_sample::sampleText();
  for (const AnsiRenderer::Options& options :
       {AnsiRenderer::Options{}, AnsiRenderer::Options{.backgroundColor = rgb(30, 30, 30)}}) {
    const std::string rendered = AnsiRenderer(options).render(sample);
    std::string expected = sample.string();
    expected.replace(expected.find('\x1B'), 1, "\xE2\x90\x9B");
    EXPECT_EQ(withoutEscapes(rendered), expected);
    std::size_t lineStart = 0;
    while (lineStart < rendered.size()) {
      std::size_t lineEnd = rendered.find('\n', lineStart);
      if (lineEnd == std::string::npos) lineEnd = rendered.size();
      const std::string line = rendered.substr(lineStart, lineEnd - lineStart);
      if (line.find('\x1B') != std::string::npos) {
        EXPECT_TRUE(line.ends_with("\x1B[0m")) << line;
      }
      lineStart = lineEnd + 1;
    }
  }
}

}  // namespace
}  // namespace tessary::platform
