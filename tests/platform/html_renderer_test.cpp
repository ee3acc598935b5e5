#include "tessary/platform/html_renderer.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "renderer_sample.h"

namespace tessary::platform {
namespace {

using renderer_sample::rgb;

// The text a browser shows inside the <pre> elements: tags removed, references resolved, the
// line feed the parser drops after each <pre> start tag dropped.
std::string visibleText(const std::string& page) {
  const std::size_t start = page.find("<body>\n") + 7;
  std::string body = page.substr(start, page.find("</body>") - start);
  body = std::regex_replace(body, std::regex("<pre[^>]*>\n"), "");
  body = std::regex_replace(body, std::regex("</pre>\n"), "");
  body = std::regex_replace(body, std::regex("<[^>]*>"), "");
  for (const auto& [reference, character] :
       {std::pair{"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&#39;", "'"}, {"&amp;", "&"}}) {
    for (std::size_t at = body.find(reference); at != std::string::npos;
         at = body.find(reference, at + 1)) {
      body.replace(at, std::string_view(reference).size(), character);
    }
  }
  return body;
}

TEST(HtmlRendererTest, MatchesGolden) {
  const HtmlRenderer renderer({.title = "Snippet <cell1> & \"more\""});
  renderer_sample::expectMatchesGolden(renderer.render(renderer_sample::sampleText()),
                                       "sample.html");
}

TEST(HtmlRendererTest, ShowsExactlyTheText) {
  const MutableAttributedString sample = renderer_sample::sampleText();
  std::string expected = sample.string();
  expected.replace(expected.find('\x1B'), 1, "\xE2\x90\x9B");
  EXPECT_EQ(visibleText(HtmlRenderer().render(sample)), expected);

  // A leading line feed survives the parser, in every <pre>.
  const MutableAttributedString lines("\n\na\n", AttributeSet());
  EXPECT_EQ(visibleText(HtmlRenderer().render(lines)), "\n\na\n");
}

TEST(HtmlRendererTest, EscapesMarkupEverywhere) {
  const std::string hostile = "\"><script>alert('x')</script>&";
  MutableAttributedString text(hostile, makeAttributeSet({.link = hostile}));
  const std::string page = HtmlRenderer({.title = hostile}).render(text);
  EXPECT_EQ(page.find("<script>"), std::string::npos);
  EXPECT_EQ(page.find("alert('"), std::string::npos);
  const std::string escaped = "&quot;&gt;&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt;&amp;";
  EXPECT_NE(page.find("<title>" + escaped + "</title>"), std::string::npos);
  EXPECT_NE(page.find("<a href=\"#%22%3E%3Cscript%3Ealert%28%27x%27%29%3C%2Fscript%3E%26\" "
                      "data-link=\"" +
                      escaped + "\">" + escaped + "</a>"),
            std::string::npos);
}

TEST(HtmlRendererTest, StylesAndLayout) {
  const Font bold = *Font::fontWithName("Menlo-Bold", 13.5);
  struct Case {
    const char* name;
    MutableAttributedString text;
    std::string expectedInPage;
  };
  const Case cases[] = {
      {"colour and font as a class",
       MutableAttributedString(
           "x", makeAttributeSet({.font = bold, .foregroundColor = rgb(20, 180, 210)})),
       ".s0{font-family:\"Menlo\",ui-monospace,monospace;font-size:13.5px;font-weight:bold;"
       "font-style:normal;color:#14b4d2}"},
      {"translucent colour",
       MutableAttributedString("x", makeAttributeSet({.foregroundColor = rgb(255, 0, 0, 0.25)})),
       ".s0{color:rgba(255,0,0,0.25)}"},
      {"no attributes, no span", MutableAttributedString("x", AttributeSet()), "<pre>\nx</pre>"},
      {"head indent as padding",
       MutableAttributedString(
           "x\ny",
           makeAttributeSet({.paragraphStyle = ParagraphStyle{TextAlignment::left, 17.68, 17.68}})),
       ".p0{text-align:left;padding-left:17.68px}\n</style>"},
      {"first-line indent relative to the head indent",
       MutableAttributedString(
           "x",
           makeAttributeSet({.paragraphStyle = ParagraphStyle{TextAlignment::center, 10.0, 4.0}})),
       ".p0{text-align:center;padding-left:10px;text-indent:-6px;text-indent:-6px each-line}"},
      {"page colours", MutableAttributedString(),
       "body{margin:0;padding:1em;background:#1f1f1f;color:#ffffff}"},
  };
  for (const Case& c : cases) {
    const std::string page = HtmlRenderer().render(c.text);
    EXPECT_NE(page.find(c.expectedInPage), std::string::npos) << c.name << "\n" << page;
  }
}

TEST(HtmlRendererTest, OnePreForEachStretchOfEqualParagraphs) {
  const AttributeSet indented =
      makeAttributeSet({.paragraphStyle = ParagraphStyle{TextAlignment::left, 5.0, 5.0}});
  const AttributeSet alsoIndented =
      makeAttributeSet({.foregroundColor = rgb(1, 1, 1),
                        .paragraphStyle = ParagraphStyle{TextAlignment::left, 5.0, 5.0}});
  MutableAttributedString text;
  text.append("a\n", indented);
  text.append("b\n", alsoIndented);
  text.append("c\n", AttributeSet());
  text.append("d", indented);
  const std::string page = HtmlRenderer().render(text);
  EXPECT_NE(page.find("<pre class=\"p0\">\na\n<span class=\"s0\">b\n</span></pre>\n"
                      "<pre>\nc\n</pre>\n<pre class=\"p0\">\nd</pre>\n"),
            std::string::npos)
      << page;
}

}  // namespace
}  // namespace tessary::platform
