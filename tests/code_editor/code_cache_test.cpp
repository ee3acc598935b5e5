#include "tessary/code_editor/code_cache.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "tessary/store/key_path.h"

namespace tessary::code_editor {

// Stores and looks up lines, which only builders may do.
struct CodeCacheInspector {
  using Key = std::tuple<store::AnyKeyPath, std::optional<int>, std::optional<int>>;

  static CodeCache empty() { return CodeCache(); }
  static void store(CodeCache& cache, const Key& key, const std::string& text) {
    cache.storeLine(
        {std::get<0>(key), std::get<1>(key), std::get<2>(key)},
        {std::make_shared<const platform::MutableAttributedString>(text, platform::AttributeSet()),
         12.0});
  }
  // The text under `key` ("" for none), looked up both ways.
  static std::pair<std::string, std::string> lookUp(CodeCache& cache, const Key& key) {
    const CodeCache::CacheKey cacheKey{std::get<0>(key), std::get<1>(key), std::get<2>(key)};
    const auto* plain = cache.line(cacheKey);
    const auto* inOrder = cache.lineInOrder(cacheKey);
    return {plain ? plain->attributedString->string() : "",
            inOrder ? inOrder->attributedString->string() : ""};
  }
};

namespace {

using Key = CodeCacheInspector::Key;

struct KeyOrder {
  bool operator()(const Key& left, const Key& right) const {
    const auto rank = [](const Key& key) {
      return std::tuple(std::get<0>(key).hash(), std::get<1>(key), std::get<2>(key));
    };
    return rank(left) < rank(right);
  }
};

// Lookups in snippet order, out of order and after replacements agree with a plain map, and a
// copy never sees what is stored after it was taken.
TEST(CodeCacheTest, AgreesWithAPlainMap) {
  const std::uint32_t seed = std::random_device{}();
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 random(seed);
  const std::vector<store::AnyKeyPath> keypaths = {
      store::CellProperty::birthRate, store::CellProperty::contents,
      store::LayerProperty::background,
      store::AnyKeyPath(store::CellProperty::birthRate).appendingValue()};
  std::vector<Key> keys;
  for (const store::AnyKeyPath keypath : keypaths) {
    keys.emplace_back(keypath, std::nullopt, std::nullopt);
    for (int cell = 0; cell < 300; ++cell) {
      keys.emplace_back(keypath, cell, std::nullopt);
      keys.emplace_back(keypath, cell, 0);
      keys.emplace_back(keypath, cell, cell % 7);
    }
  }
  std::vector<Key> storedOrder = keys;
  std::shuffle(storedOrder.begin(), storedOrder.end(), random);
  storedOrder.erase(storedOrder.begin() + static_cast<std::ptrdiff_t>(storedOrder.size() * 2 / 3),
                    storedOrder.end());

  CodeCache cache = CodeCacheInspector::empty();
  std::map<Key, std::string, KeyOrder> reference;
  int version = 0;
  for (const Key& key : storedOrder) {
    const std::string text = std::to_string(++version) + "\n";
    CodeCacheInspector::store(cache, key, text);
    reference[key] = text;
  }
  const CodeCache before = cache;
  const std::map<Key, std::string, KeyOrder> referenceBefore = reference;
  for (int i = 0; i < 500; ++i) {
    const Key& key = keys[random() % keys.size()];
    const std::string text = std::to_string(++version) + "\n";
    CodeCacheInspector::store(cache, key, text);
    reference[key] = text;
  }
  EXPECT_EQ(cache.lineCount(), reference.size());
  EXPECT_EQ(before.lineCount(), referenceBefore.size());

  std::vector<Key> askedOrder = storedOrder;
  askedOrder.insert(askedOrder.end(), keys.begin(), keys.end());
  std::shuffle(askedOrder.end() - static_cast<std::ptrdiff_t>(keys.size()), askedOrder.end(),
               random);
  CodeCache copy = before;
  for (const Key& key : askedOrder) {
    const auto found = reference.find(key);
    const std::string expected = found == reference.end() ? "" : found->second;
    ASSERT_EQ(CodeCacheInspector::lookUp(cache, key), std::pair(expected, expected));
    const auto foundBefore = referenceBefore.find(key);
    const std::string expectedBefore =
        foundBefore == referenceBefore.end() ? "" : foundBefore->second;
    ASSERT_EQ(CodeCacheInspector::lookUp(copy, key), std::pair(expectedBefore, expectedBefore));
  }
}

}  // namespace
}  // namespace tessary::code_editor
