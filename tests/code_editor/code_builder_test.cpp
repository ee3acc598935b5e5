#include "tessary/code_editor/code_builder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "support/generated_effects.h"
#include "tessary/code_editor/snippet_layout.h"
#include "tessary/platform/text_storage.h"
#include "tessary/platform/utf16_length.h"

namespace tessary::code_editor {
namespace {

using platform::DispatchQueue;
using store::AnyKeyPath;
using store::CellProperty;
using store::LayerProperty;

constexpr CodePlatform kMac = CodePlatform::macOS;
constexpr CodePlatform kIOS = CodePlatform::iOS;

DispatchQueue cacheQueue() {
  return DispatchQueue("tessary.test.cache");
}

// The plain text of a range of the built text.
std::string textAt(const BuildResult& result, platform::NSRange range) {
  const platform::StringRange bytes = result.text->byteRange(range);
  return result.text->string().substr(bytes.begin, bytes.size());
}

// The records whose line is in the changed look.
std::vector<const CodeHistory*> changedLines(const BuildResult& result) {
  std::vector<const CodeHistory*> changed;
  for (const CodeHistory& record : result.newHistroy) {
    const auto& attributes = result.text->attributesAt(record.range().location);
    if (attributes.foregroundColor == platform::Color::greenColor() && attributes.font->isBold()) {
      changed.push_back(&record);
    }
  }
  return changed;
}

// A line taken from the cache shares its record text with the build that stored it.
bool isReused(const BuildResult& first, const BuildResult& second, std::size_t record) {
  return &first.newHistroy[record].string() == &second.newHistroy[record].string();
}

TEST(CodeBuilderTest, UnchangedLinesComeFromTheCacheAtTheirTextSize) {
  const auto layer = testing::generateEffect(11, {.cells = 3, .maxSubcells = 1});
  CodeBuilder builder(12.0, cacheQueue());
  const BuildResult first = builder.buildMainThread(std::nullopt, *layer, kIOS);
  EXPECT_EQ(builder.cache.lineCount(), 0u) << "a build never changes the builder's cache";
  EXPECT_EQ(first.cache.lineCount(), first.newHistroy.size());
  builder.cache = first.cache;
  const BuildResult second = builder.buildMainThread(std::nullopt, *layer, kIOS);
  EXPECT_EQ(*second.text, *first.text);
  for (std::size_t i = 0; i < first.newHistroy.size(); ++i) EXPECT_TRUE(isReused(first, second, i));

  // Only the changed cell's line shows the changed look, and it is not stored in that look.
  layer->cells[1]->birthRate.setValue(layer->cells[1]->birthRate.value + 1.0);
  const BuildResult changed = builder.buildMainThread(CellProperty::birthRate, *layer, kIOS);
  const auto changedRecords = changedLines(changed);
  ASSERT_EQ(changedRecords.size(), 1u);
  EXPECT_EQ(changedRecords[0]->keypath(), CellProperty::birthRate);
  EXPECT_EQ(changedRecords[0]->cellIndex(), 1);
  EXPECT_EQ(changedRecords[0]->subcellIndex(), std::nullopt);
  builder.cache = changed.cache;
  EXPECT_TRUE(changedLines(builder.buildMainThread(std::nullopt, *layer, kIOS)).empty());
  EXPECT_TRUE(changedLines(builder.buildMainThread(CellProperty::contents, *layer, kIOS)).empty());

  builder.textSizeIncreased(true, nullptr);
  EXPECT_EQ(builder.textSize(), 13.0);
  const BuildResult larger = builder.buildMainThread(std::nullopt, *layer, kIOS);
  for (const auto& run : larger.text->runs()) EXPECT_EQ(run.attributes().font->pointSize(), 13.0);
  for (std::size_t i = 0; i < first.newHistroy.size(); ++i)
    EXPECT_FALSE(isReused(first, larger, i));

  CodeBuilder small(2.0, cacheQueue());
  EXPECT_FALSE(small.isMinTextSize());
  small.textSizeIncreased(false, nullptr);
  EXPECT_TRUE(small.isMinTextSize());
  small.textSizeIncreased(false, nullptr);
  EXPECT_EQ(small.textSize(), 0.0);
}

TEST(CodeBuilderTest, ChangedKeyPathsAndTheLinesTheyMark) {
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

// Differential: every record's range is the first occurrence of its line in the text built so far
// (found by plain search), also where names and indices repeat; the text alone is the full build's
// text, which is the snippet's plain text.
TEST(CodeBuilderTest, RangesAndTextAgreeWithPlainReferences) {
  for (std::uint32_t seed = 1; seed <= 60; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    const auto layer = testing::generateEffect(
        seed, {.cells = 5, .minSubcells = 0, .maxSubcells = 3, .renumber = seed % 2 == 0});
    layer->cells[0]->name = "f\xC3\xA9u \xF0\x9F\x94\xA5";
    const CodePlatform platform = seed % 3 == 0 ? kIOS : kMac;
    const CodeBuilder builder(12.0 + seed % 3, cacheQueue());
    const BuildResult result = builder.buildMainThread(std::nullopt, *layer, platform);
    std::string text = SectionBuilder::introText(*layer, platform);
    for (const CodeHistory& record : result.newHistroy) {
      const std::string piece = record.string() + "\n";
      text += piece;
      const platform::NSRange expected{
          platform::utf16Length(std::string_view(text).substr(0, text.find(piece))),
          platform::utf16Length(piece)};
      ASSERT_EQ(record.range(), expected) << record.string();
    }
    EXPECT_EQ(result.text->string(), SnippetLayout::plainText(*layer, platform));
    const auto alone = builder.buildText(*layer, platform);
    EXPECT_EQ(*alone, *result.text);
    EXPECT_EQ(alone->runCount(), result.text->runCount());
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
    if (!run.attributes().link) continue;
    links.insert(*run.attributes().link + " on " + textAt(result, run.range));
  }
  EXPECT_EQ(links, (std::multiset<std::string>{
                       "0: Export on Export texture", "0: Import on Import texture",
                       "0_0: Export on Export texture", "0_0: Import on Import texture"}));
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

// Asynchronous builds while the host goes on changing the effect, storing results back into the
// builder and changing the text size, as a host does while a slider is dragged (run under the
// thread sanitizer too). Requests made faster than the throttler's rate replace one another: each
// completes at most once, on the main queue, with the build asked for, and the last always does.
TEST(CodeBuilderTest, AsyncBuildsWhileTheHostChangesTheEffectCompleteOnceWithTheirBuild) {
  const DispatchQueue main = DispatchQueue::main();
  CodeBuilder builder(12.0, cacheQueue());
  const auto layer = testing::generateEffect(21, {.cells = 2, .minSubcells = 1, .maxSubcells = 1});
  platform::TextStorage shown;
  std::mt19937 random(8);
  struct Request {
    std::shared_ptr<const platform::MutableAttributedString> expected;
    int completions = 0;
  };
  std::map<int, Request> requests;
  std::atomic<bool> offMainQueue{false};
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
  int tag = 0;
  while (tag < 1500 && std::chrono::steady_clock::now() < deadline) {
    store::CellConfig& cell = *layer->cells[random() % layer->cells.size()];
    std::optional<AnyKeyPath> changed;
    switch (random() % 5) {
      case 0:
        cell.birthRate.setValue(cell.birthRate.value + 1.0);
        changed = CellProperty::birthRate;
        break;
      case 1:
        layer->emitterPositionY.setValue(layer->emitterPositionY.value - 0.5);
        changed = LayerProperty::emitterPositionY;
        break;
      case 2:
        cell.colorRed = std::uniform_real_distribution<double>(0.0, 1.0)(random);
        changed = CellProperty::color;
        break;
      case 3:
        cell.name += "x";
        changed = CellProperty::contents;
        break;
      default:
        cell.spin.setValue(cell.spin.value - 3.0);
    }
    const CodePlatform platform = random() % 4 == 0 ? kIOS : kMac;
    // A request copies the builder as it is when made: a build on this thread right before it
    // sees the same cache and text size.
    const auto expected = std::make_shared<const platform::MutableAttributedString>(
        *builder.buildMainThread(changed, *layer, platform).text);
    for (const int burstEnd = tag + 1 + static_cast<int>(random() % 4); tag < burstEnd; ++tag) {
      requests[tag].expected = expected;
      builder.buildAsync(changed, *layer, platform, [&, tag](const BuildResult& result) {
        if (!main.isCurrent()) offMainQueue = true;
        Request& request = requests.at(tag);
        ++request.completions;
        EXPECT_TRUE(*result.text == *request.expected) << "request " << tag;
        builder.cache = result.cache;
        shown.setAttributedString(*result.text);
      });
    }
    if (random() % 16 == 0) {
      const bool larger = builder.textSize() < 10.0 || (builder.textSize() < 16.0 && random() % 2);
      builder.textSizeIncreased(larger, &shown);
    }
    main.drain();
    if (random() % 8 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(random() % 30));
  }
  const int last = tag - 1;
  ASSERT_TRUE(
      main.runUntil([&] { return requests[last].completions > 0; }, std::chrono::seconds(60)));
  main.runUntil([] { return false; }, std::chrono::milliseconds(300));  // a second completion
  EXPECT_FALSE(offMainQueue);
  int completed = 0;
  for (const auto& [requestTag, request] : requests) {
    EXPECT_LE(request.completions, 1) << "request " << requestTag;
    completed += request.completions;
  }
  EXPECT_GT(completed, 1);
}

}  // namespace
}  // namespace tessary::code_editor
