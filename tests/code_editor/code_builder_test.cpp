#include "tessary/code_editor/code_builder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "support/generated_effects.h"
#include "tessary/code_editor/snippet_layout.h"
#include "tessary/platform/utf16_length.h"

namespace tessary::code_editor {

// Reads the cache's entries, which only builders may touch.
struct CodeCacheInspector {
  static const void* line(const CodeCache& cache, store::AnyKeyPath key, std::optional<int> cell,
                          std::optional<int> subcell) {
    const auto* entry = cache.line({key, cell, subcell});
    return entry ? entry->attributedString.get() : nullptr;
  }
  static std::string lineText(const CodeCache& cache, store::AnyKeyPath key,
                              std::optional<int> cell) {
    const auto* entry = cache.line({key, cell, std::nullopt});
    return entry ? entry->attributedString->string() : "";
  }
  static const void* intro(const CodeCache& cache) {
    return cache.intro_ ? cache.intro_->attributedString.get() : nullptr;
  }
  static const void* outro(const CodeCache& cache) {
    return cache.outro_ ? cache.outro_->attributedString.get() : nullptr;
  }
  static std::map<const void*, int> pieces(const CodeCache& cache) {
    std::map<const void*, int> all;
    if (cache.lines_) {
      for (const auto& [key, value] : *cache.lines_) ++all[value.attributedString.get()];
    }
    return all;
  }
  static bool sameKeysDiffer(std::optional<int> a, std::optional<int> b) {
    const CodeCache::CacheKeyHash hash;
    const CodeCache::CacheKey first{store::CellProperty::birthRate, a, std::nullopt};
    const CodeCache::CacheKey second{store::CellProperty::birthRate, b, std::nullopt};
    return !(first == second) && hash(first) != hash(second);
  }
};

namespace {

using platform::Color;
using platform::DispatchQueue;
using store::AnyKeyPath;
using store::CellProperty;
using store::LayerProperty;

constexpr CodePlatform kMac = CodePlatform::macOS;
constexpr CodePlatform kIOS = CodePlatform::iOS;

DispatchQueue cacheQueue() {
  return DispatchQueue("tessary.test.cache");
}

// The plain text of a history record's range in the built text.
std::string textAt(const BuildResult& result, platform::NSRange range) {
  const platform::StringRange bytes = result.text->byteRange(range);
  return result.text->string().substr(bytes.begin, bytes.size());
}

// Whether every character of the line of `record` carries the changed look.
bool isInChangedLook(const BuildResult& result, const CodeHistory& record) {
  const auto& attributes = result.text->attributesAt(record.range().location);
  return attributes.foregroundColor == Color::greenColor() && attributes.font &&
         attributes.font->isBold();
}

TEST(CodeBuilderTest, SecondBuildReusesEveryPiece) {
  const auto layer = testing::generateEffect(7);
  CodeBuilder builder(12.0, cacheQueue());
  const BuildResult first = builder.buildMainThread(std::nullopt, *layer, kMac);
  EXPECT_EQ(builder.cache.lineCount(), 0u) << "a build never changes the builder's cache";
  EXPECT_EQ(first.cache.lineCount(), first.newHistroy.size());

  builder.cache = first.cache;
  const BuildResult second = builder.buildMainThread(std::nullopt, *layer, kMac);
  EXPECT_EQ(CodeCacheInspector::pieces(second.cache), CodeCacheInspector::pieces(first.cache));
  EXPECT_EQ(CodeCacheInspector::intro(second.cache), CodeCacheInspector::intro(first.cache));
  EXPECT_EQ(CodeCacheInspector::outro(second.cache), CodeCacheInspector::outro(first.cache));
  EXPECT_EQ(*second.text, *first.text);
  EXPECT_NE(second.text.get(), first.text.get());
}

TEST(CodeBuilderTest, CacheKeysTellAbsentIndicesFromZero) {
  EXPECT_TRUE(CodeCacheInspector::sameKeysDiffer(std::nullopt, 0));
  EXPECT_TRUE(CodeCacheInspector::sameKeysDiffer(1, 2));
}

TEST(CodeBuilderTest, ChangedTest) {
  struct Case {
    std::optional<AnyKeyPath> changed;
    AnyKeyPath key;
    bool expected;
  };
  const Case cases[] = {
      {std::nullopt, CellProperty::birthRate, false},
      {CellProperty::contents, CellProperty::contents, false},
      {CellProperty::contents, CellProperty::birthRate, false},
      {CellProperty::birthRate, CellProperty::birthRate, true},
      {CellProperty::birthRate, CellProperty::lifetime, false},
      {LayerProperty::emitterPositionY, LayerProperty::emitterPositionX, true},
      {LayerProperty::emitterPositionX, LayerProperty::emitterPositionX, true},
      {LayerProperty::emitterPositionX, LayerProperty::emitterPositionY, true},
      {LayerProperty::emitterHeight, LayerProperty::emitterWidth, true},
      {LayerProperty::emitterWidth, LayerProperty::emitterHeight, true},
      {LayerProperty::emitterHeight, LayerProperty::emitterPositionX, false},
      {AnyKeyPath(CellProperty::birthRate).appendingValue(), CellProperty::birthRate, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CodeBuilder::isChanged(c.key, c.changed), c.expected)
        << (c.changed ? c.changed->description() : "none") << " / " << c.key.description();
  }
}

TEST(CodeBuilderTest, OnlyTheChangedCellsLineShowsTheChangedLook) {
  const auto layer = testing::generateEffect(11, {.cells = 3, .maxSubcells = 1});
  CodeBuilder builder(12.0, cacheQueue());
  builder.cache = builder.buildMainThread(std::nullopt, *layer, kIOS).cache;
  const std::string oldLine =
      CodeCacheInspector::lineText(builder.cache, CellProperty::birthRate, 1);

  layer->cells[1]->birthRate.setValue(layer->cells[1]->birthRate.value + 1.0);
  const BuildResult result = builder.buildMainThread(CellProperty::birthRate, *layer, kIOS);
  int changedLines = 0;
  for (const CodeHistory& record : result.newHistroy) {
    if (!isInChangedLook(result, record)) continue;
    ++changedLines;
    EXPECT_EQ(record.keypath(), CellProperty::birthRate);
    EXPECT_EQ(record.cellIndex(), 1);
    EXPECT_EQ(record.subcellIndex(), std::nullopt);
  }
  EXPECT_EQ(changedLines, 1);
  EXPECT_EQ(CodeCacheInspector::lineText(result.cache, CellProperty::birthRate, 1), oldLine)
      << "a line being changed is never stored";
  EXPECT_EQ(CodeCacheInspector::pieces(result.cache), CodeCacheInspector::pieces(builder.cache));
}

TEST(CodeBuilderTest, PositionAndSizeLinesFollowTheirOtherKey) {
  const auto layer = testing::generateEffect(3, {.cells = 1});
  const CodeBuilder builder(12.0, cacheQueue());
  for (const AnyKeyPath changed :
       {AnyKeyPath(LayerProperty::emitterPositionY), AnyKeyPath(LayerProperty::emitterHeight)}) {
    const BuildResult result = builder.buildMainThread(changed, *layer, kMac);
    std::vector<AnyKeyPath> changedKeys;
    for (const CodeHistory& record : result.newHistroy) {
      if (isInChangedLook(result, record)) changedKeys.push_back(record.keypath());
    }
    const AnyKeyPath expected = changed == LayerProperty::emitterPositionY
                                    ? AnyKeyPath(LayerProperty::emitterPositionX)
                                    : AnyKeyPath(LayerProperty::emitterWidth);
    EXPECT_EQ(changedKeys, std::vector<AnyKeyPath>{expected});
  }
  const BuildResult contents = builder.buildMainThread(CellProperty::contents, *layer, kMac);
  for (const CodeHistory& record : contents.newHistroy) {
    EXPECT_FALSE(isInChangedLook(contents, record));
  }
}

TEST(CodeBuilderTest, TextSizeChangeColoursEverythingAgain) {
  const auto layer = testing::generateEffect(5);
  CodeBuilder builder(12.0, cacheQueue());
  builder.cache = builder.buildMainThread(std::nullopt, *layer, kMac).cache;
  const auto before = CodeCacheInspector::pieces(builder.cache);

  builder.textSizeIncreased(true, nullptr);
  EXPECT_EQ(builder.textSize(), 13.0);
  const BuildResult result = builder.buildMainThread(std::nullopt, *layer, kMac);
  for (const auto& [piece, count] : CodeCacheInspector::pieces(result.cache)) {
    EXPECT_EQ(before.count(piece), 0u);
  }
  EXPECT_NE(CodeCacheInspector::intro(result.cache), CodeCacheInspector::intro(builder.cache));
  EXPECT_EQ(result.text->attributesAt(0).font->pointSize(), 13.0);
  EXPECT_EQ(result.text->attributesAt(result.text->length() - 1).font->pointSize(), 13.0);

  CodeBuilder small(2.0, cacheQueue());
  EXPECT_FALSE(small.isMinTextSize());
  small.textSizeIncreased(false, nullptr);
  EXPECT_TRUE(small.isMinTextSize());
  small.textSizeIncreased(false, nullptr);
  EXPECT_EQ(small.textSize(), 0.0);
}

TEST(CodeBuilderTest, RecordsCoverEveryLineInOrder) {
  const auto layer = testing::generateEffect(21, {.cells = 4, .minSubcells = 0, .maxSubcells = 3});
  const CodeBuilder builder(12.0, cacheQueue());
  for (const CodePlatform platform : {kMac, kIOS}) {
    const BuildResult result = builder.buildMainThread(std::nullopt, *layer, platform);
    std::size_t expectedRecords = 6;
    for (const auto& cell : layer->cells) expectedRecords += 23 + 25 * cell->subcells.size();
    ASSERT_EQ(result.newHistroy.size(), expectedRecords);

    EXPECT_EQ(result.text->string(), SnippetLayout::plainText(*layer, platform));
    std::size_t position = platform::utf16Length(SectionBuilder::introText(*layer, platform));
    for (std::size_t i = 0; i < result.newHistroy.size(); ++i) {
      const CodeHistory& record = result.newHistroy[i];
      EXPECT_EQ(textAt(result, record.range()), record.string() + "\n");
      EXPECT_EQ(record.range().location, position) << "record " << i;
      position += record.range().length;
      if (i < 6) {
        EXPECT_FALSE(record.cellIndex().has_value());
        EXPECT_EQ(record.keypath(), SnippetLayout::layerLineKeys[i]);
      }
      const bool subcellOnly =
          record.keypath() == CellProperty::beginTime || record.keypath() == CellProperty::duration;
      EXPECT_TRUE(!subcellOnly || record.subcellIndex().has_value());
    }
  }
}

// The first occurrence of every piece, found by searching the whole text built so far: the
// straightforward reading of what a record's range is.
std::vector<platform::NSRange> rangesBySearch(const BuildResult& result, const std::string& intro) {
  std::vector<platform::NSRange> ranges;
  std::string text = intro;
  for (const CodeHistory& record : result.newHistroy) {
    const std::string piece = record.string() + "\n";
    text += piece;
    const std::size_t found = text.find(piece);
    ranges.push_back({platform::utf16Length(std::string_view(text).substr(0, found)),
                      platform::utf16Length(piece)});
  }
  return ranges;
}

TEST(CodeBuilderTest, RangesAreFirstOccurrencesEvenWithRepeatedNamesAndIndices) {
  for (std::uint32_t seed = 1; seed <= 60; ++seed) {
    const auto layer = testing::generateEffect(
        seed, {.cells = 5, .minSubcells = 0, .maxSubcells = 3, .renumber = seed % 2 == 0});
    const CodePlatform platform = seed % 3 == 0 ? kIOS : kMac;
    const BuildResult result =
        CodeBuilder(12.0, cacheQueue()).buildMainThread(std::nullopt, *layer, platform);
    const auto expected = rangesBySearch(result, SectionBuilder::introText(*layer, platform));
    ASSERT_EQ(expected.size(), result.newHistroy.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
      ASSERT_EQ(result.newHistroy[i].range(), expected[i])
          << "seed " << seed << ", record " << i << ": " << result.newHistroy[i].string();
    }
  }
}

TEST(CodeBuilderTest, TextAloneIsTheTextOfAFullBuild) {
  for (std::uint32_t seed = 1; seed <= 20; ++seed) {
    auto layer = testing::generateEffect(seed, {.cells = 4, .minSubcells = 0, .maxSubcells = 2});
    layer->cells[0]->name = "f\xC3\xA9u \xF0\x9F\x94\xA5";
    store::CellConfig& textured = *layer->cells[seed % 4];
    textured.contentUrl = platform::URL(seed % 2 ? "None" : "spark.png");
    textured.contentsUrl = textured.contentUrl;
    const CodePlatform platform = seed % 2 == 0 ? kIOS : kMac;
    const CodeBuilder builder(12.0 + seed % 3, cacheQueue());
    const BuildResult full = builder.buildMainThread(std::nullopt, *layer, platform);
    const auto alone = builder.buildText(*layer, platform);
    ASSERT_EQ(*alone, *full.text) << "seed " << seed;
    ASSERT_EQ(alone->runCount(), full.text->runCount()) << "seed " << seed;
  }
}

TEST(CodeBuilderTest, TextureLinksNameTheActionAndTheCell) {
  auto layer = testing::generateEffect(2, {.cells = 2, .minSubcells = 1, .maxSubcells = 1});
  layer->cells[0]->contentUrl = platform::URL("star.png");
  layer->cells[0]->contentsUrl = layer->cells[0]->contentUrl;
  layer->cells[0]->subcells[0]->contentUrl.reset();
  layer->cells[0]->subcells[0]->contentsUrl.reset();
  layer->cells[1]->contentsUrl = platform::URL("None");
  layer->cells[1]->subcells[0]->contentsUrl = platform::URL("None");
  const BuildResult result =
      CodeBuilder(12.0, cacheQueue()).buildMainThread(std::nullopt, *layer, kMac);
  std::multiset<std::string> links;
  for (const auto& run : result.text->runs()) {
    if (run.attributes().link) {
      links.insert(*run.attributes().link);
      EXPECT_TRUE(textAt(result, run.range) == "Import texture" ||
                  textAt(result, run.range) == "Export texture");
    }
  }
  EXPECT_EQ(links,
            (std::multiset<std::string>{"0: Export", "0: Import", "0_0: Export", "0_0: Import"}));
}

TEST(CodeBuilderTest, ThrottledBuildsCompleteOnceOnTheMainQueueEndingOnTheLastRequest) {
  auto layer = testing::generateEffect(9, {.cells = 2});
  const CodeBuilder builder(12.0, cacheQueue());
  std::vector<std::string> expected;
  std::vector<std::string> completions;
  std::atomic<bool> offMainQueue{false};
  for (int i = 0; i < 20; ++i) {
    layer->cells[0]->birthRate.setValue(i);
    expected.push_back(builder.buildMainThread(std::nullopt, *layer, kIOS).text->string());
    builder.buildAsync(std::nullopt, *layer, kIOS, [&](const BuildResult& result) {
      if (!DispatchQueue::main().isCurrent()) offMainQueue = true;
      completions.push_back(result.text->string());
    });
  }
  // Requests that come faster than the throttler's rate replace the one waiting: those never
  // build and never complete, and the last request always does. Builds the throttler starts
  // close together may overlap on the builder queue, so completions may come in any order.
  const auto lastCompleted = [&] {
    return std::find(completions.begin(), completions.end(), expected.back()) != completions.end();
  };
  ASSERT_TRUE(DispatchQueue::main().runUntil(lastCompleted, std::chrono::seconds(20)));
  DispatchQueue::main().runUntil([] { return false; }, std::chrono::milliseconds(200));
  EXPECT_FALSE(offMainQueue);
  std::set<std::string> seen;
  for (const std::string& text : completions) {
    EXPECT_NE(std::find(expected.begin(), expected.end(), text), expected.end());
    EXPECT_TRUE(seen.insert(text).second) << "a request completed twice";
  }
}

TEST(CodeBuilderTest, AsyncBuildsReadTheEffectAsItWasWhenAsked) {
  auto layer = testing::generateEffect(4, {.cells = 1});
  const CodeBuilder builder(12.0, cacheQueue());
  const std::string expected = builder.buildMainThread(std::nullopt, *layer, kMac).text->string();
  std::optional<std::string> built;
  builder.buildAsync(std::nullopt, *layer, kMac,
                     [&](const BuildResult& result) { built = result.text->string(); });
  layer->cells[0]->birthRate.setValue(layer->cells[0]->birthRate.value + 10);
  ASSERT_TRUE(
      DispatchQueue::main().runUntil([&] { return built.has_value(); }, std::chrono::seconds(20)));
  EXPECT_EQ(*built, expected);
}

}  // namespace
}  // namespace tessary::code_editor
