#include "tessary/platform/text_storage.h"

#include <gtest/gtest.h>

namespace tessary::platform {
namespace {

// A host shows a snippet, then restyles all of it for a new text size and marks a link: each
// change replaces only the attributes it names.
TEST(TextStorageTest, ShowsAndRestylesEveryCharacter) {
  MutableAttributedString snippet;
  snippet.append("let ", makeAttributeSet({.foregroundColor = Color::greenColor()}));
  snippet.append("x\xF0\x9F\x98\x80", AttributeSet());

  TextStorage storage;
  storage.setAttributedString(snippet);
  EXPECT_EQ(storage, snippet);

  const Font larger = Font::fontWithNameOrSystemFont("Menlo Regular", 13.0);
  storage.addAttributes({.font = larger}, {0, storage.length()});
  storage.addAttributes({.link = ""}, {0, 1});  // an empty link is still a link
  for (std::size_t i = 0; i < storage.length(); ++i) {
    EXPECT_EQ(storage.attributesAt(i).font, larger) << i;
  }
  EXPECT_EQ(storage.attributesAt(0),
            (TextAttributes{.font = larger, .foregroundColor = Color::greenColor(), .link = ""}));
  EXPECT_EQ(storage.attributesAt(1).link, std::nullopt);
  EXPECT_EQ(storage.string(), snippet.string());
}

}  // namespace
}  // namespace tessary::platform
