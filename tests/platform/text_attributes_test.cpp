#include "tessary/platform/text_attributes.h"

#include <gtest/gtest.h>

namespace tessary::platform {
namespace {

TEST(TextAttributesTest, AddingReplacesOnlyTheKeysGiven) {
  const Font regular = Font::fontWithNameOrSystemFont("Menlo Regular", 12.0);
  const Font bold = Font::fontWithNameOrSystemFont("Menlo Bold", 12.0);
  const ParagraphStyle indent{TextAlignment::left, 16.32, 16.32};
  const TextAttributes token{.font = bold, .foregroundColor = Color::colorWithWhite(0.5, 1.0)};

  const TextAttributes restyled =
      token.addingAttributes({.font = regular, .paragraphStyle = indent});
  EXPECT_EQ(restyled, (TextAttributes{.font = regular,
                                      .foregroundColor = Color::colorWithWhite(0.5, 1.0),
                                      .paragraphStyle = indent}));
  EXPECT_EQ(restyled.addingAttributes({.link = "0: Export"}).link, "0: Export");
  EXPECT_EQ(token.addingAttributes({}), token);
  EXPECT_TRUE(TextAttributes().empty());
  EXPECT_FALSE(TextAttributes{.link = ""}.empty());
}

TEST(TextAttributesTest, SharedSets) {
  EXPECT_TRUE(emptyAttributeSet()->empty());
  EXPECT_EQ(emptyAttributeSet(), emptyAttributeSet());
  const AttributeSet set = makeAttributeSet({.link = "x"});
  EXPECT_EQ(set->link, "x");
}

}  // namespace
}  // namespace tessary::platform
