// The ANSI, RTF and HTML renderers over one sample text (golden files) and over random texts
// (what each format must keep whatever the text).

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <regex>
#include <sstream>
#include <string>

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
  text.addAttributes({.link = "0_1: \"Export\" <&>"}, {23, 14});
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

// Text in random pieces and looks: markup and escape characters of every format, control
// characters, line feeds, emoji; colours, fonts, links with markup in them, paragraph styles.
MutableAttributedString randomText(std::mt19937& random) {
  std::vector<std::string> pieces;
  std::istringstream pieceList(
      "a|let |\n|\n\n|\t|<b>|&amp;|&|\"|'|{|}|\\|\x1B[31m|\x07|\r|\x7F|\xC2\x85|\xC2\xA0|"
      "\xF0\x9F\x98\x80|caf\xC3\xA9|]]>|\\par |%41");
  for (std::string piece; std::getline(pieceList, piece, '|');) pieces.push_back(piece);
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
  MutableAttributedString text;
  for (unsigned runs = random() % 13; runs > 0; --runs) {
    std::string characters;
    for (unsigned count = 1 + random() % 4; count > 0; --count) {
      characters += pieces[random() % pieces.size()];
    }
    text.append(characters, looks[random() % std::size(looks)]);
  }
  return text;
}

// What a reader sees of `text`: control characters other than tab and line feed as their
// pictures (U+2400 on), DEL as U+2421, C1 controls as U+FFFD.
std::string withControlsShown(std::string_view text) {
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

// Whether every RTF group opened is closed and none is closed before it opens.
bool groupsBalance(const std::string& document) {
  int depth = 0;
  for (std::size_t i = 0; i < document.size() && depth >= 0; ++i) {
    if (document[i] == '\\') {
      ++i;  // an escaped brace or backslash, or the first letter of a control word
    } else {
      depth += document[i] == '{' ? 1 : document[i] == '}' ? -1 : 0;
    }
  }
  return depth == 0;
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
    for (std::size_t at = html.find(reference); at != std::string::npos;
         at = html.find(reference, at + 1)) {
      html.replace(at, std::string_view(reference).size(), character);
    }
  }
  return html;
}

// Each format shows every character of any text, control characters as pictures: the terminal's
// looks end with each line, the RTF document is ASCII with balanced groups, and the page and the
// fragment hold no markup of their own.
TEST(RenderersTest, EveryFormatKeepsAnyTextAndItsOwnSyntax) {
  testing::SeededRandom random;
  for (int round = 0; round < 300; ++round) {
    const MutableAttributedString text = randomText(random);
    const std::string shown = withControlsShown(text.string());
    const std::string ansi =
        AnsiRenderer(
            {.backgroundColor = round % 2 == 0 ? std::nullopt : std::optional(rgb(30, 30, 30))})
            .render(text);
    ASSERT_EQ(std::regex_replace(ansi, std::regex("\x1B\\[[0-9;]*[A-Za-z]"), ""), shown);
    std::istringstream lines(ansi);
    for (std::string line; std::getline(lines, line);) {
      ASSERT_TRUE(line.find('\x1B') == std::string::npos || line.ends_with("\x1B[0m")) << line;
    }
    const std::string rtf = RtfRenderer().render(text);
    ASSERT_TRUE(groupsBalance(rtf)) << rtf;
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
