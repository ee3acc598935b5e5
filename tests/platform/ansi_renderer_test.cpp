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
  testing::expectMatchesGolden(AnsiRenderer({.defaultTextColor = rgb(1, 2, 3),
                                             .backgroundColor = Color::colorWithWhite(0.12, 1.0)})
                                   .render(sample),
                               "renderers/sample-background.ansi");
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
