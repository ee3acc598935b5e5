#include "tessary/platform/font.h"

#include <gtest/gtest.h>

#include <string>

#include "support/golden_file.h"

namespace tessary::platform {
namespace {

// Per requested name: whether it is known, and the face it gives or falls back to.
TEST(FontTest, KnownNamesAndFallback) {
  testing::expectCasesMatchGolden("fonts.cases", 1, [](const auto& fields) {
    const Font font = Font::fontWithNameOrSystemFont(fields[0], 12.5);
    EXPECT_EQ(font.pointSize(), 12.5);
    return std::string(Font::fontWithName(fields[0], 12.0) ? "known" : "unknown") + " | " +
           std::string(font.fontName()) + " | " + std::string(font.familyName()) +
           (font.isBold() ? " bold" : "") + (font.isItalic() ? " italic" : "") +
           (font.isMonospaced() ? " monospaced" : "");
  });
}

TEST(FontTest, EqualityIsFaceAndSize) {
  EXPECT_EQ(Font::fontWithName("Menlo Bold", 12.0), Font::fontWithName("Menlo-Bold", 12.0));
  EXPECT_NE(Font::fontWithName("Menlo Bold", 12.0), Font::fontWithName("Menlo Bold", 13.0));
  EXPECT_NE(Font::fontWithName("Menlo Bold", 12.0), Font::fontWithName("Menlo Regular", 12.0));
  EXPECT_EQ(Font::systemFontOfSize(-1.0), Font::fontWithNameOrSystemFont("None", -1.0));
}

}  // namespace
}  // namespace tessary::platform
