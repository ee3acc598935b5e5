// The ANSI, RTF and HTML renderers over one sample text (golden files) and over random texts
// (what each format must keep whatever the text).

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

#include "support/golden_file.h"
#include "support/test_seed.h"
#include "tessary/platform/ansi_renderer.h"
#include "tessary/platform/html_renderer.h"
#include "tessary/platform/rtf_renderer.h"

namespace tessary::platform {
namespace {

Color rgb(int red, int green, int blue, double alpha = 1.0) {
  return Color::colorWithRed(red / 255.0, green / 255.0, blue / 255.0, alpha);
}

// A few snippet-like lines: token colours, a bold changed line, two links, an emoji, characters
// every format must escape, control characters, a translucent colour, text without any
// attributes, an empty line, a character that is -1 as a signed UTF-16 unit, a size in half
// points, and four paragraph layouts (indented, hanging, right-aligned, none).
MutableAttributedString sampleText() {
  const Font regular = Font::fontWithNameOrSystemFont("Menlo Regular", 12.0);
  const auto look = [&](std::optional<Color> color, std::optional<Font> font = std::nullopt,
                        ParagraphStyle paragraph = {TextAlignment::left, 16.32, 16.32}) {
    return makeAttributeSet(
        {.font = font.value_or(regular), .foregroundColor = color, .paragraphStyle = paragraph});
  };
  MutableAttributedString text;
  text.append("\n/*  Import texture -- Export texture  */\n", look(rgb(85, 202, 89)));
  text.append("let", look(rgb(198, 44, 157)));
  text.append(" name = ", look(std::nullopt));
  text.append("\"A<b>&'c\\\" \xF0\x9F\x98\x80\"", look(rgb(219, 44, 56)));
  text.append("\n", look(std::nullopt));
  text.append("cell1.birthRate = 120.0\n",
              look(Color::greenColor(), Font::fontWithNameOrSystemFont("Menlo Bold", 12.0)));
  text.append("hanging {braces} and a\ttab\n",
              look(rgb(255, 255, 255, 0.5), regular, {TextAlignment::left, 24.0, 0.0}));
  text.append("no attributes \x1B[31m caf\xC3\xA9 \xE6\x98\x9F \x1B]0;\x07\x7F\xC2\x9B\xC2\xA0\n\n",
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
  const HtmlRenderer::Fragment fragment = html.renderFragment(sample);
  testing::expectMatchesGolden(fragment.html + "\n<style>\n" + fragment.css,
                               "renderers/sample.fragment.html");
}

// Text in random pieces, in the sample's looks: markup and escape characters of every format,
// control characters, line feeds, emoji.
MutableAttributedString randomText(std::mt19937& random, const MutableAttributedString& sample) {
  std::vector<std::string> pieces;
  std::istringstream pieceList(
      "a|let |\n|\n\n|\t|<b>|&amp;|&|\"|'|{|}|\\|\x1B[31m|\x07|\r|\x7F|\xC2\x85|\xC2\xA0|"
      "\xF0\x9F\x98\x80|caf\xC3\xA9|]]>|\\par |%41");
  for (std::string piece; std::getline(pieceList, piece, '|');) pieces.push_back(piece);
  MutableAttributedString text;
  for (unsigned runs = random() % 13; runs > 0; --runs) {
    std::string characters;
    for (unsigned count = 1 + random() % 4; count > 0; --count) {
      characters += pieces[random() % pieces.size()];
    }
    text.append(characters, sample.attributeSet(random() % sample.attributeSetCount()));
  }
  return text;
}

// The text a browser shows of a page's <pre> elements or of a fragment: tags removed, references
// resolved, the line feed the parser drops after each <pre> start tag dropped.
std::string visibleText(std::string html) {
  if (const std::size_t body = html.find("<body>\n"); body != std::string::npos) {
    html = html.substr(body + 7, html.find("</body>") - body - 7);
  }
  html = std::regex_replace(html, std::regex("<pre[^>]*>\n|</pre>\n|<[^>]*>"), "");
  for (const auto& [reference, character] :
       {std::pair{"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&#39;", "'"}, {"&amp;", "&"}}) {
    html = std::regex_replace(html, std::regex(reference), character);
  }
  return html;
}

// Every format shows every character of any text, control characters as the same pictures: the
// terminal's looks end with each line, the RTF document is ASCII with balanced groups, and the
// page and the fragment hold no markup of their own.
TEST(RenderersTest, EveryFormatShowsAnyTextAlikeInItsOwnSyntax) {
  const MutableAttributedString sample = sampleText();
  testing::SeededRandom random;
  for (int round = 0; round < 300; ++round) {
    const MutableAttributedString text = randomText(random, sample);
    const std::string ansi = AnsiRenderer().render(text);
    const std::string shown = std::regex_replace(ansi, std::regex("\x1B\\[[0-9;]*[A-Za-z]"), "");
    std::istringstream lines(ansi);
    for (std::string line; std::getline(lines, line);) {
      ASSERT_TRUE(line.find('\x1B') == std::string::npos || line.ends_with("\x1B[0m")) << line;
    }
    const std::string rtf = RtfRenderer().render(text);
    // Its groups balance: the unescaped braces nest.
    std::string braces = std::regex_replace(rtf, std::regex(R"(\\[\s\S]|[^{}])"), "");
    for (std::size_t at; (at = braces.find("{}")) != std::string::npos;) braces.erase(at, 2);
    ASSERT_EQ(braces, "") << rtf;
    ASSERT_TRUE(std::ranges::all_of(rtf, [](char c) {
      return c == '\n' || (c >= 0x20 && c < 0x7F);
    })) << rtf;
    const HtmlRenderer html;
    ASSERT_EQ(visibleText(html.render(text)), shown);
    const HtmlRenderer::Fragment fragment = html.renderFragment(text);
    ASSERT_EQ(visibleText(fragment.html), shown);
    ASSERT_FALSE(std::regex_search(fragment.html, std::regex("<(?!/?span[ >])"))) << fragment.html;
  }
}

}  // namespace
}  // namespace tessary::platform
