#include "tessary/platform/font.h"

#include <gtest/gtest.h>

#include <string>

namespace tessary::platform {
namespace {

TEST(FontTest, KnownNamesAndFallback) {
  struct Case {
    const char* requested;
    bool known;
    const char* fontName;
    const char* family;
    bool bold;
    bool italic;
    bool monospaced;
  };
  const Case cases[] = {
      {"Menlo Regular", true, "Menlo Regular", "Menlo", false, false, true},
      {"Menlo-Regular", true, "Menlo Regular", "Menlo", false, false, true},
      {"Menlo Bold", true, "Menlo Bold", "Menlo", true, false, true},
      {"Menlo-BoldItalic", true, "Menlo Bold Italic", "Menlo", true, true, true},
      {"Helvetica", true, "Helvetica", "Helvetica", false, false, false},
      {"menlo regular", false, "System Font Regular", "System Font", false, false, false},
      {"System Font Regular", false, "System Font Regular", "System Font", false, false, false},
      {"", false, "System Font Regular", "System Font", false, false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Font::fontWithName(c.requested, 12.0).has_value(), c.known) << c.requested;
    const Font font = Font::fontWithNameOrSystemFont(c.requested, 12.5);
    EXPECT_EQ(font.fontName(), c.fontName) << c.requested;
    EXPECT_EQ(font.familyName(), c.family) << c.requested;
    EXPECT_EQ(font.pointSize(), 12.5);
    EXPECT_EQ(font.isBold(), c.bold) << c.requested;
    EXPECT_EQ(font.isItalic(), c.italic) << c.requested;
    EXPECT_EQ(font.isMonospaced(), c.monospaced) << c.requested;
  }
}

TEST(FontTest, EqualityIsFaceAndSize) {
  EXPECT_EQ(Font::fontWithName("Menlo Bold", 12.0), Font::fontWithName("Menlo-Bold", 12.0));
  EXPECT_NE(Font::fontWithName("Menlo Bold", 12.0), Font::fontWithName("Menlo Bold", 13.0));
  EXPECT_NE(Font::fontWithName("Menlo Bold", 12.0), Font::fontWithName("Menlo Regular", 12.0));
  EXPECT_EQ(Font::systemFontOfSize(-1.0), Font::fontWithNameOrSystemFont("None", -1.0));
}

}  // namespace
}  // namespace tessary::platform
