#include "tessary/platform/font.h"

#include <gtest/gtest.h>

#include "support/golden_file.h"

namespace tessary::platform {
namespace {

// Per requested name: whether it is known, and the face it gives or falls back to. Fonts are
// equal when their faces and sizes are.
TEST(FontTest, KnownNamesAndFallback) {
  testing::expectCasesMatchGolden("fonts.cases", 1, [](const auto& fields) {
    const Font font = Font::fontWithNameOrSystemFont(fields[0], 12.5);
    EXPECT_EQ(font.pointSize(), 12.5);
    EXPECT_EQ(font, Font::fontWithNameOrSystemFont(std::string(font.fontName()), 12.5));
    EXPECT_NE(font, Font::fontWithNameOrSystemFont(fields[0], 13.0));
    EXPECT_EQ(font == Font::systemFontOfSize(12.5), font.familyName() == "System Font");
    return std::string(Font::fontWithName(fields[0], 12.0) ? "known" : "unknown") + " | " +
           std::string(font.fontName()) + " | " + std::string(font.familyName()) +
           (font.isBold() ? " bold" : "") + (font.isItalic() ? " italic" : "") +
           (font.isMonospaced() ? " monospaced" : "");
  });
}

}  // namespace
}  // namespace tessary::platform
