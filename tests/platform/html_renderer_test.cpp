#include "tessary/platform/html_renderer.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "renderer_sample.h"
#include "support/golden_file.h"
#include "support/test_seed.h"

namespace tessary::platform {
namespace {

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

TEST(HtmlRendererTest, MatchesGolden) {
  const MutableAttributedString sample = renderer_sample::sampleText();
  const HtmlRenderer renderer({.title = "Snippet <cell1> & \"more\""});
  testing::expectMatchesGolden(renderer.render(sample), "renderers/sample.html");
  const HtmlRenderer::Fragment fragment = renderer.renderFragment(sample);
  testing::expectMatchesGolden(fragment.html + "\n<style>\n" + fragment.css,
                               "renderers/sample.fragment.html");
}

// Page and fragment show every character of any text, control characters as pictures, and no
// markup of their own.
TEST(HtmlRendererTest, ShowsExactlyTheText) {
  testing::SeededRandom random;
  for (int round = 0; round < 300; ++round) {
    const MutableAttributedString text = renderer_sample::randomText(random);
    const std::string shown = renderer_sample::withControlsShown(text.string());
    const HtmlRenderer renderer;
    ASSERT_EQ(visibleText(renderer.render(text)), shown) << "round " << round;
    const HtmlRenderer::Fragment fragment = renderer.renderFragment(text);
    ASSERT_EQ(visibleText(fragment.html), shown) << "round " << round;
    ASSERT_FALSE(std::regex_search(fragment.html, std::regex("<(?!/?span[ >])"))) << fragment.html;
  }
}

}  // namespace
}  // namespace tessary::platform
