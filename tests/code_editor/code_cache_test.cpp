#include "tessary/code_editor/code_cache.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "code_editor/code_cache_contents.h"
#include "support/test_seed.h"

namespace tessary::code_editor {

// Stores and looks up lines, which only builders may do.
struct CodeCacheInspector {
  static CodeCache empty() { return CodeCache(); }
  static CodeCacheContents& contents(CodeCache& cache) { return cache.contents(); }
};

namespace {

using Key = CodeCacheContents::Key;
using Reference =
    std::map<std::tuple<std::size_t, std::optional<int>, std::optional<int>>, std::string>;

std::tuple<std::size_t, std::optional<int>, std::optional<int>> referenceKey(const Key& key) {
  return {key.keypath.hash(), key.cellIndex, key.subcellIndex};
}

// Whether the cache holds what the reference holds, looked up both in and out of order.
void expectAsReference(CodeCache& cache, const std::vector<Key>& askedOrder,
                       const Reference& reference) {
  CodeCacheContents& contents = CodeCacheInspector::contents(cache);
  EXPECT_EQ(cache.lineCount(), reference.size());
  for (const Key& key : askedOrder) {
    const auto found = reference.find(referenceKey(key));
    const std::string expected = found == reference.end() ? "" : found->second;
    for (const auto* line : {contents.line(key), contents.lineInOrder(key)}) {
      ASSERT_EQ(line ? line->attributedString->string() : "", expected);
    }
  }
}

// Lookups in snippet order, out of order and after replacements agree with a plain map, and a
// copy never sees what is stored after it was taken.
TEST(CodeCacheTest, AgreesWithAPlainMap) {
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
  std::vector<Key> storedOrder = keys;
  std::shuffle(storedOrder.begin(), storedOrder.end(), random);
  storedOrder.erase(storedOrder.begin() + static_cast<std::ptrdiff_t>(storedOrder.size() * 2 / 3),
                    storedOrder.end());

  CodeCache cache = CodeCacheInspector::empty();
  Reference reference;
  int version = 0;
  const auto store = [&](const Key& key) {
    const std::string text = std::to_string(++version) + "\n";
    CodeCacheInspector::contents(cache).storeLine(
        key,
        {std::make_shared<const platform::MutableAttributedString>(text, platform::AttributeSet()),
         12.0});
    reference[referenceKey(key)] = text;
  };
  std::for_each(storedOrder.begin(), storedOrder.end(), store);
  CodeCache before = cache;
  const Reference referenceBefore = reference;
  for (int i = 0; i < 500; ++i) store(keys[random() % keys.size()]);

  std::vector<Key> askedOrder = storedOrder;
  std::shuffle(keys.begin(), keys.end(), random);
  askedOrder.insert(askedOrder.end(), keys.begin(), keys.end());
  expectAsReference(cache, askedOrder, reference);
  expectAsReference(before, askedOrder, referenceBefore);
}

}  // namespace
}  // namespace tessary::code_editor
