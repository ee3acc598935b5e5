#include "tessary/platform/rtf_renderer.h"

#include <gtest/gtest.h>

#include <string>

#include "renderer_sample.h"

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
  renderer_sample::expectMatchesGolden(RtfRenderer().render(renderer_sample::sampleText()),
                                       "sample.rtf");
}

TEST(RtfRendererTest, DocumentIsAsciiWithBalancedGroups) {
  const std::string document = RtfRenderer().render(renderer_sample::sampleText());
  EXPECT_TRUE(document.starts_with("{\\rtf1\\ansi"));
  EXPECT_TRUE(groupsBalance(document));
  for (const char c : document) {
    const auto byte = static_cast<unsigned char>(c);
    ASSERT_TRUE(byte == '\n' || (byte >= 0x20 && byte < 0x7F)) << static_cast<int>(byte);
  }
}

TEST(RtfRendererTest, WritesTextAndFormats) {
  const auto body = [](const MutableAttributedString& text, RtfRenderer::Options options = {}) {
    const std::string document = RtfRenderer(options).render(text);
    const std::size_t start = document.find("\\chcbpat1\n") + 10;
    return document.substr(start, document.size() - start - 2);
  };
  const AttributeSet none;
  struct Case {
    const char* name;
    MutableAttributedString text;
    std::string expectedBody;
  };
  const Case cases[] = {
      {"escapes", MutableAttributedString("a\\b{c}\td", none),
       "\\pard\n\\f0\\fs24\\cf2 a\\\\b\\{c\\}\\tab d"},
      {"non-ASCII as UTF-16 units, emoji as a surrogate pair",
       MutableAttributedString("\xC3\xA9\xE6\x98\x9F\xF0\x9F\x98\x80\xEF\xBF\xBF", none),
       "\\pard\n\\f0\\fs24\\cf2 \\u233?\\u26143?\\u-10179?\\u-8704?\\u-1?"},
      {"control characters as pictures", MutableAttributedString("\x1B\x7F", none),
       "\\pard\n\\f0\\fs24\\cf2 \\u9243?\\u9249?"},
      {"line feeds end paragraphs", MutableAttributedString("a\n\nb\n", none),
       "\\pard\n\\f0\\fs24\\cf2 a\\par\n\\par\nb\\par\n"},
      {"bold, size and colour",
       MutableAttributedString("x",
                               makeAttributeSet({.font = Font::fontWithName("Menlo Bold", 13.25),
                                                 .foregroundColor = rgb(20, 180, 210)})),
       "\\pard\n\\f0\\fs27\\b\\cf3 x"},
      {"indents in twips",
       MutableAttributedString(
           "x",
           makeAttributeSet({.paragraphStyle = ParagraphStyle{TextAlignment::right, 16.32, 4.0}})),
       "\\pard\\li326\\fi-246\\qr\n\\f0\\fs24\\cf2 x"},
      {"a link is a field whose formats end with it",
       [] {
         MutableAttributedString text("ab", AttributeSet());
         text.addAttributes({.link = "0: Import"}, {0, 1});
         return text;
       }(),
       "\\pard\n{\\field{\\*\\fldinst{HYPERLINK \\\\l \"0%3A%20Import\"}}{\\fldrslt "
       "\\f0\\fs24\\ul\\cf2 a}}\\f0\\fs24\\cf2 b"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(body(c.text), c.expectedBody) << c.name;
  }
}

TEST(RtfRendererTest, TablesListFontsAndColoursInUse) {
  MutableAttributedString text("a", makeAttributeSet({.font = Font::systemFontOfSize(12.0)}));
  text.append("b", makeAttributeSet({.foregroundColor = rgb(255, 255, 255, 0.5)}));
  const std::string document =
      RtfRenderer({.backgroundColor = rgb(0, 0, 0), .defaultTextColor = rgb(1, 2, 3)}).render(text);
  EXPECT_NE(document.find("{\\fonttbl{\\f0\\fmodern\\fprq1\\fcharset0 Menlo;}"
                          "{\\f1\\fswiss\\fprq2\\fcharset0 System Font;}}"),
            std::string::npos);
  // Background, default text colour, then the translucent white blended with the background.
  EXPECT_NE(document.find("{\\colortbl;\\red0\\green0\\blue0;\\red1\\green2\\blue3;"
                          "\\red128\\green128\\blue128;}"),
            std::string::npos);
  EXPECT_NE(document.find("{\\sp{\\sn fillColor}{\\sv 0}}"), std::string::npos);
}

}  // namespace
}  // namespace tessary::platform
