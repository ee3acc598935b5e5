#include "tessary/code_editor/code_cache.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "code_editor/code_cache_contents.h"
#include "support/test_seed.h"

namespace tessary::code_editor {

// Makes caches and reaches their lines, which only builders may do.
struct CodeCacheInspector {
  static CodeCache empty() { return CodeCache(); }
  static CodeCacheContents& contents(CodeCache& cache) { return cache.contents(); }
};

namespace {

using Key = CodeCacheContents::Key;

// Lookups in snippet order, out of order and after replacements agree with a plain search of
// what was stored, and a copy never sees what is stored after it was taken.
TEST(CodeCacheTest, AgreesWithAPlainSearch) {
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
  const std::vector<Key> storedFirst(keys.begin(), keys.begin() + keys.size() * 2 / 3);
  CodeCache cache = CodeCacheInspector::empty();
  std::vector<std::pair<Key, std::string>> stores;
  const auto store = [&](const Key& key) {
    const std::string text = std::to_string(stores.size()) + "\n";
    CodeCacheInspector::contents(cache).storeLine(
        key, platform::MutableAttributedString(text, platform::AttributeSet()), 12.0, 0);
    stores.emplace_back(key, text);
  };
  std::ranges::for_each(storedFirst, store);
  CodeCache before = cache;
  const auto storesBefore = stores;
  for (int i = 0; i < 500; ++i) store(keys[random() % keys.size()]);

  // Every key's line, looked up in and out of order, is the text stored under it last.
  std::vector<Key> askedOrder = storedFirst;
  std::shuffle(keys.begin(), keys.end(), random);
  askedOrder.insert(askedOrder.end(), keys.begin(), keys.end());
  for (auto [checked, stored] : {std::pair(&cache, stores), std::pair(&before, storesBefore)}) {
    CodeCacheContents& contents = CodeCacheInspector::contents(*checked);
    for (const Key& key : askedOrder) {
      const auto last = std::ranges::find_if(stored.rbegin(), stored.rend(),
                                             [&](const auto& entry) { return entry.first == key; });
      const std::string expected = last == stored.rend() ? "" : last->second;
      for (const auto* line : {contents.line(key), contents.lineInOrder(key)}) {
        ASSERT_EQ(line ? line->coloured->recordText + "\n" : "", expected);
      }
    }
  }
}

}  // namespace
}  // namespace tessary::code_editor
