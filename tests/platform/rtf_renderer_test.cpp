#include "tessary/platform/rtf_renderer.h"

#include <gtest/gtest.h>

#include <string>

#include "renderer_sample.h"
#include "support/golden_file.h"
#include "support/test_seed.h"

namespace tessary::platform {
namespace {

using renderer_sample::rgb;

// Whether every group opened is closed and none is closed before it opens.
bool groupsBalance(const std::string& document) {
  int depth = 0;
  for (std::size_t i = 0; i < document.size(); ++i) {
    if (document[i] == '\\') {
      ++i;  // an escaped brace or backslash, or the first letter of a control word
    } else if (document[i] == '{') {
      ++depth;
    } else if (document[i] == '}' && --depth < 0) {
      return false;
    }
  }
  return depth == 0;
}

TEST(RtfRendererTest, MatchesGolden) {
  testing::expectMatchesGolden(RtfRenderer().render(renderer_sample::sampleText()),
                               "renderers/sample.rtf");
}

// Any text gives an ASCII document whose groups balance: nothing from the text can end a group
// or a control word.
TEST(RtfRendererTest, DocumentIsAsciiWithBalancedGroups) {
  testing::SeededRandom random;
  for (int round = 0; round < 300; ++round) {
    const std::string document = RtfRenderer().render(renderer_sample::randomText(random));
    ASSERT_TRUE(groupsBalance(document)) << document;
    for (const char c : document) {
      const auto byte = static_cast<unsigned char>(c);
      ASSERT_TRUE(byte == '\n' || (byte >= 0x20 && byte < 0x7F)) << document;
    }
  }
}

// What the sample does not show: other colours, a character that is -1 as a signed UTF-16 unit,
// DEL, half points rounded, right alignment.
TEST(RtfRendererTest, WritesTextAndFormats) {
  MutableAttributedString text("\xEF\xBF\xBF\x7F\n",
                               makeAttributeSet({.font = Font::fontWithName("Menlo Bold", 13.25)}));
  text.append("x",
              makeAttributeSet({.foregroundColor = rgb(255, 255, 255, 0.5),
                                .paragraphStyle = ParagraphStyle{TextAlignment::right, 1, 2}}));
  const std::string document =
      RtfRenderer({.backgroundColor = rgb(0, 0, 0), .defaultTextColor = rgb(1, 2, 3)}).render(text);
  EXPECT_TRUE(document.ends_with(
      "{\\colortbl;\\red0\\green0\\blue0;\\red1\\green2\\blue3;\\red128\\green128\\blue128;}\n"
      "{\\*\\background{\\shp{\\*\\shpinst{\\sp{\\sn shapeType}{\\sv 1}}{\\sp{\\sn fillColor}{\\sv "
      "0}}"
      "{\\sp{\\sn fFilled}{\\sv 1}}{\\sp{\\sn fLine}{\\sv 0}}{\\sp{\\sn fBackground}{\\sv 1}}}}}\n"
      "\\viewbksp1\\cb1\\chcbpat1\n"
      "\\pard\n\\f0\\fs27\\b\\cf2 \\u-1?\\u9249?\\par\n\\pard\\li20\\fi20\\qr\n\\fs24\\b0\\cf3 "
      "x}\n"))
      << document;
}

}  // namespace
}  // namespace tessary::platform
