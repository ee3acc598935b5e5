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
using Stores = std::vector<std::pair<Key, std::string>>;

// Every key's line, looked up in and out of order, is the text stored under it last.
void expectLastStored(CodeCache& cache, const std::vector<Key>& askedOrder, const Stores& stores) {
  CodeCacheContents& contents = CodeCacheInspector::contents(cache);
  for (const Key& key : askedOrder) {
    const auto last = std::find_if(stores.rbegin(), stores.rend(),
                                   [&](const auto& stored) { return stored.first == key; });
    const std::string expected = last == stores.rend() ? "" : last->second;
    for (const auto* line : {contents.line(key), contents.lineInOrder(key)}) {
      ASSERT_EQ(line ? line->attributedString->string() : "", expected);
    }
  }
}

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
  const std::vector<Key> storedFirst(
      keys.begin(), keys.begin() + static_cast<std::ptrdiff_t>(keys.size() * 2 / 3));

  CodeCache cache = CodeCacheInspector::empty();
  Stores stores;
  const auto store = [&](const Key& key) {
    const std::string text = std::to_string(stores.size()) + "\n";
    CodeCacheInspector::contents(cache).storeLine(
        key,
        {std::make_shared<const platform::MutableAttributedString>(text, platform::AttributeSet()),
         12.0});
    stores.emplace_back(key, text);
  };
  std::for_each(storedFirst.begin(), storedFirst.end(), store);
  CodeCache before = cache;
  const Stores storesBefore = stores;
  for (int i = 0; i < 500; ++i) store(keys[random() % keys.size()]);

  std::vector<Key> askedOrder = storedFirst;
  std::shuffle(keys.begin(), keys.end(), random);
  askedOrder.insert(askedOrder.end(), keys.begin(), keys.end());
  expectLastStored(cache, askedOrder, stores);
  expectLastStored(before, askedOrder, storesBefore);
}

}  // namespace
}  // namespace tessary::code_editor
