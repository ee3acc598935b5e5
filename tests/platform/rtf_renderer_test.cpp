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
  const MutableAttributedString sample = renderer_sample::sampleText();
  testing::expectMatchesGolden(RtfRenderer().render(sample), "renderers/sample.rtf");
  testing::expectMatchesGolden(
      RtfRenderer({.backgroundColor = rgb(0, 0, 0), .defaultTextColor = rgb(1, 2, 3)})
          .render(sample),
      "renderers/sample-options.rtf");
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

}  // namespace
}  // namespace tessary::platform
