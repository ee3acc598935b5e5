#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "code_editor/code_cache_contents.h"
#include "support/test_seed.h"

namespace tessary::code_editor {
namespace {

using Key = CodeCacheContents::Key;
using platform::MutableAttributedString;

// Lookups in snippet order and out of it agree with a plain search of the lines: a line is found
// under its key when it reads the text asked for at the cache's text size and is reusable.
TEST(CodeCacheTest, ReaderAgreesWithAPlainSearch) {
  tessary::testing::SeededRandom random;
  std::vector<Key> keys;
  for (const store::AnyKeyPath keypath :
       {store::AnyKeyPath(store::CellProperty::birthRate),
        store::AnyKeyPath(store::LayerProperty::background),
        store::AnyKeyPath(store::CellProperty::birthRate).appendingValue()}) {
    keys.push_back({keypath, std::nullopt, std::nullopt});
    for (int cell = 0; cell < 200; ++cell) {
      keys.push_back({keypath, cell, std::nullopt});
      keys.push_back({keypath, cell, cell % 3});
    }
  }
  std::shuffle(keys.begin(), keys.end(), random);
  const std::vector<Key> placed(keys.begin(), keys.begin() + keys.size() * 2 / 3);
  auto text = std::make_shared<MutableAttributedString>();
  CodeCacheContents contents;
  for (const Key& key : placed) {
    const MutableAttributedString::Mark mark = text->mark();
    text->append(std::to_string(contents.lines.size()) + "\n", platform::AttributeSet());
    contents.lines.push_back({key, text->partSince(mark), random() % 5 != 0});
  }
  contents.text = text;
  contents.textSize = 12.0;

  const auto expected = [&](const Key& key, const std::string& line) -> const auto* {
    const auto found = std::ranges::find(contents.lines, key, &CodeCacheContents::Line::key);
    return found != contents.lines.end() && found->reusable &&
                   found->part.textIn(text->string()) == line
               ? &*found
               : nullptr;
  };
  const auto lineOf = [&](const Key& key) {
    const auto found = std::ranges::find(contents.lines, key, &CodeCacheContents::Line::key);
    const std::size_t place = static_cast<std::size_t>(found - contents.lines.begin());
    // Mostly the line as placed, sometimes another.
    return std::to_string(random() % 4 == 0 ? random() % placed.size() : place) + "\n";
  };

  std::vector<Key> asked = placed;
  std::shuffle(keys.begin(), keys.end(), random);
  asked.insert(asked.end(), keys.begin(), keys.end());
  CodeCacheContents::Reader reader(&contents);
  for (const Key& key : asked) {
    const std::string line = lineOf(key);
    ASSERT_EQ(reader.find(key, line, 12.0), expected(key, line));
  }
  EXPECT_EQ(CodeCacheContents::Reader(&contents).find(placed[0], "0\n", 13.0), nullptr);
  EXPECT_EQ(CodeCacheContents::Reader(nullptr).find(placed[0], "0\n", 12.0), nullptr);
}

}  // namespace
}  // namespace tessary::code_editor
