// The ANSI, RTF and HTML renderers over one sample text.

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "support/golden_file.h"
#include "tessary/platform/ansi_renderer.h"
#include "tessary/platform/html_renderer.h"
#include "tessary/platform/rtf_renderer.h"

namespace tessary::platform {
namespace {

Color rgb(int red, int green, int blue, double alpha = 1.0) {
  return Color::colorWithRed(red / 255.0, green / 255.0, blue / 255.0, alpha);
}

// Snippet-like lines: token colours, a bold line, links with markup, an emoji, characters every
// format must escape or could take for its own syntax, control characters, a translucent colour,
// no attributes, an empty line, U+FFFF (-1 as a signed UTF-16 unit), a size in half points, and
// four paragraph layouts, the first line's taken from its first run.
MutableAttributedString sampleText() {
  const Font regular = Font::fontWithNameOrSystemFont("Menlo Regular", 12.0);
  const auto look = [&](std::optional<Color> color, std::optional<Font> font = std::nullopt,
                        ParagraphStyle paragraph = {TextAlignment::left, 16.32, 16.32}) {
    return makeAttributeSet(
        {.font = font.value_or(regular), .foregroundColor = color, .paragraphStyle = paragraph});
  };
  MutableAttributedString text;
  text.append("\n", look(rgb(85, 202, 89), regular, {TextAlignment::left, 24.0, 0.0}));
  text.append("/*  Import texture -- Export texture  */\n", look(rgb(85, 202, 89)));
  text.append("let", look(rgb(198, 44, 157)));
  text.append(" name = ", look(std::nullopt));
  text.append("\"A<b>&'c\\\" \xF0\x9F\x98\x80\"", look(rgb(219, 44, 56)));
  text.append("\n", look(std::nullopt));
  text.append("cell1.birthRate = 120.0\n",
              look(Color::greenColor(), Font::fontWithNameOrSystemFont("Menlo Bold", 12.0)));
  text.append("hanging {braces} and a\ttab\n",
              look(rgb(255, 255, 255, 0.5), regular, {TextAlignment::left, 24.0, 0.0}));
  text.append(
      "no attributes \x1B[31m caf\xC3\xA9 \xE6\x98\x9F \x1B]0;\x07\x7F\xC2\x9B\xC2\xA0 ]]> \\par "
      "%41 &amp;\r\xC2\x85\n\n",
      AttributeSet());
  text.append("\xEF\xBF\xBF right\n",
              makeAttributeSet({.font = Font::fontWithName("Menlo Bold", 13.25),
                                .paragraphStyle = ParagraphStyle{TextAlignment::right, 1, 2}}));
  text.append("system font", makeAttributeSet({.font = Font::systemFontOfSize(13.0)}));
  text.addAttributes({.link = "0: Import"}, {5, 14});
  text.addAttributes({.link = "0_1: \"Export\" <&amp;>\x1B"}, {23, 14});
  return text;
}

TEST(RenderersTest, SampleMatchesTheGoldenFiles) {
  const MutableAttributedString sample = sampleText();
  testing::expectMatchesGolden(AnsiRenderer().render(sample), "renderers/sample.ansi");
  testing::expectMatchesGolden(AnsiRenderer({.defaultTextColor = rgb(1, 2, 3),
                                             .backgroundColor = Color::colorWithWhite(0.12, 1.0)})
                                   .render(sample),
                               "renderers/sample-background.ansi");
  testing::expectMatchesGolden(RtfRenderer().render(sample), "renderers/sample.rtf");
  testing::expectMatchesGolden(
      RtfRenderer({.backgroundColor = rgb(0, 0, 0), .defaultTextColor = rgb(1, 2, 3)})
          .render(sample),
      "renderers/sample-options.rtf");
  const HtmlRenderer html({.title = "Snippet <cell1> & \"more\""});
  testing::expectMatchesGolden(html.render(sample), "renderers/sample.html");
  // The lines of the sample and of its runs backwards keep the looks' classes of the first.
  MutableAttributedString reordered;
  for (std::size_t i = sample.runCount(); i-- > 0;) {
    const AttributeRun run = sample.run(i);
    reordered.append(std::string_view(sample.string()).substr(run.bytes.begin, run.bytes.size()),
                     sample.attributeSet(run.setIndex));
  }
  std::vector<std::string> looks;
  std::string lines;
  for (const MutableAttributedString* text : {&sample, &std::as_const(reordered)}) {
    const HtmlRenderer::Lines rendered = html.renderLines(*text, looks);
    for (std::size_t line = 0; line < rendered.starts.size(); ++line) {
      const std::size_t end =
          line + 1 < rendered.starts.size() ? rendered.starts[line + 1] : rendered.html.size();
      lines += rendered.html.substr(rendered.starts[line], end - rendered.starts[line]) + "\n";
    }
    lines += "<style>\n" + rendered.css;
  }
  testing::expectMatchesGolden(lines, "renderers/sample.lines.html");
}

}  // namespace
}  // namespace tessary::platform
