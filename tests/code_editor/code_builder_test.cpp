#include "tessary/code_editor/code_builder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "support/generated_effects.h"
#include "support/golden_file.h"
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

// The lines in the changed look.
std::vector<std::string> changedLines(const BuildResult& result) {
  std::vector<std::string> changed;
  for (const CodeHistory& record : result.newHistroy) {
    const auto& attributes = result.text->attributesAt(record.range().location);
    if (attributes.foregroundColor == platform::Color::greenColor() && attributes.font->isBold()) {
      changed.emplace_back(record.string());
    }
  }
  return changed;
}

TEST(CodeBuilderTest, UnchangedLinesComeFromTheCacheAtTheirTextSize) {
  const auto layer = testing::generateEffect(11, {.cells = 3, .maxSubcells = 1});
  CodeBuilder builder(12.0, cacheQueue());
  const BuildResult first = builder.buildMainThread(std::nullopt, *layer, kIOS);
  EXPECT_EQ(builder.cache.lineCount(), 0u) << "a build never changes the builder's cache";
  EXPECT_EQ(first.cache.lineCount(), first.newHistroy.size());
  EXPECT_EQ(first.cache.colouredLineCount(), first.newHistroy.size());
  builder.cache = first.cache;
  const BuildResult second = builder.buildMainThread(std::nullopt, *layer, kIOS);
  EXPECT_EQ(*second.text, *first.text);
  EXPECT_EQ(second.cache.colouredLineCount(), 0u);

  // Only the changed cell's line shows the changed look, and it is not stored in that look.
  layer->cells[1]->birthRate.setValue(layer->cells[1]->birthRate.value + 1.0);
  const BuildResult changed = builder.buildMainThread(CellProperty::birthRate, *layer, kIOS);
  ASSERT_EQ(changedLines(changed).size(), 1u);
  EXPECT_TRUE(changedLines(changed)[0].starts_with("cell2.birthRate = "));
  builder.cache = changed.cache;
  const BuildResult settled = builder.buildMainThread(std::nullopt, *layer, kIOS);
  EXPECT_TRUE(changedLines(settled).empty());
  EXPECT_EQ(settled.cache.colouredLineCount(), 1u);

  builder.textSizeIncreased(true, nullptr);
  EXPECT_EQ(builder.textSize(), 13.0);
  const BuildResult larger = builder.buildMainThread(std::nullopt, *layer, kIOS);
  for (const auto& run : larger.text->runs()) EXPECT_EQ(run.attributes().font->pointSize(), 13.0);
  EXPECT_EQ(larger.cache.colouredLineCount(), larger.newHistroy.size());
  CodeBuilder small(2.0, cacheQueue());
  EXPECT_FALSE(small.isMinTextSize());
  small.textSizeIncreased(false, nullptr);
  EXPECT_TRUE(small.isMinTextSize());
}

// Which lines a change marks on each platform, for every pair of the key paths the marking tells
// apart.
TEST(CodeBuilderTest, ChangedKeyPathsAndTheLinesTheyMark) {
  // clang-format off
  const std::vector<AnyKeyPath> keys{CellProperty::birthRate, CellProperty::lifetime, CellProperty::contents,
      LayerProperty::emitterPositionX, LayerProperty::emitterPositionY, LayerProperty::emitterWidth,
      LayerProperty::emitterHeight, LayerProperty::viewHeight, AnyKeyPath(CellProperty::birthRate).appendingValue()};
  // clang-format on
  std::string marks;
  for (const CodePlatform platform : {kMac, kIOS}) {
    for (const AnyKeyPath key : keys) {
      marks += key.description() + " changed on " + std::string(platform.rawValue()) + " marks:";
      for (const AnyKeyPath line : keys) {
        if (CodeBuilder::isChanged(line, key, platform)) marks += " " + line.description();
      }
      marks += CodeBuilder::isChanged(key, std::nullopt, platform) ? " and when nothing changed\n"
                                                                   : "\n";
    }
  }
  tessary::testing::expectMatchesGolden(marks, "code_editor/changed_lines.txt");
}

// Differential: every record's range is the first occurrence of its line in the text built so far
// (found by plain search), also where names and indices repeat and lines show the changed look;
// the records between the frames, the full build's text and the text alone are the plain text.
TEST(CodeBuilderTest, RangesAndTextAgreeWithPlainReferences) {
  const std::optional<AnyKeyPath> changes[] = {std::nullopt, CellProperty::birthRate,
                                               LayerProperty::emitterPositionY};
  for (std::uint32_t seed = 1; seed <= 60; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    const auto layer = testing::generateEffect(
        seed, {.cells = 5, .minSubcells = 0, .maxSubcells = 3, .renumber = seed % 2 == 0});
    layer->cells[0]->name = "f\xC3\xA9u \xF0\x9F\x94\xA5";
    const CodePlatform platform = seed % 3 == 0 ? kIOS : kMac;
    const CodeBuilder builder(12.0 + seed % 3, cacheQueue());
    const auto changed = changes[seed % 5 % 3];
    const BuildResult result = builder.buildMainThread(changed, *layer, platform);
    std::string text = SectionBuilder::introText(*layer, platform);
    for (const CodeHistory& record : result.newHistroy) {
      const std::string piece = std::string(record.string()) + "\n";
      text += piece;
      const platform::NSRange expected{
          platform::utf16Length(std::string_view(text).substr(0, text.find(piece))),
          platform::utf16Length(piece)};
      ASSERT_EQ(record.range(), expected) << record.string();
    }
    text += SectionBuilder::outroText(*layer);
    EXPECT_EQ(text, SnippetLayout::plainText(*layer, platform));
    EXPECT_EQ(result.text->string(), text);
    const auto alone = builder.buildText(*layer, platform);
    EXPECT_EQ(alone->string(), result.text->string());
    if (!changed) {
      EXPECT_TRUE(*alone == *result.text && alone->runCount() == result.text->runCount());
    }
  }
}

// Every link of a snippet whose cells and sub-cells have textures of every kind, and its text.
TEST(CodeBuilderTest, TextureLinksNameTheActionAndTheCell) {
  const auto layer = testing::generateEffect(2, {.cells = 4, .minSubcells = 1, .maxSubcells = 2});
  const BuildResult result =
      CodeBuilder(12.0, cacheQueue()).buildMainThread(std::nullopt, *layer, kMac);
  std::string links;
  for (const auto& run : result.text->runs()) {
    if (!run.attributes().link) continue;
    const platform::StringRange bytes = result.text->byteRange(run.range);
    links += *run.attributes().link + " on " +
             result.text->string().substr(bytes.begin, bytes.size()) + "\n";
  }
  tessary::testing::expectMatchesGolden(links, "code_editor/texture_links.txt");
}

// The asynchronous build reads a copy of the effect made at the call: changes made while the build
// waits for the cache, held back on its queue, do not reach it.
TEST(CodeBuilderTest, AsyncBuildShowsTheEffectAsItWasAtTheCall) {
  const DispatchQueue cache = cacheQueue();
  const CodeBuilder builder(12.0, cache);
  const auto layer = testing::generateEffect(3, {.cells = 1});
  const std::string atTheCall = builder.buildMainThread(std::nullopt, *layer, kMac).text->string();
  std::promise<void> release;
  cache.async([held = release.get_future().share()] { held.wait(); });
  std::optional<std::string> built;
  builder.buildAsync(std::nullopt, *layer, kMac,
                     [&](const BuildResult& result) { built = result.text->string(); });
  layer->cells[0]->birthRate.setValue(layer->cells[0]->birthRate.value + 1.0);
  layer->viewHeight.setValue(layer->viewHeight.value + 1.0);
  release.set_value();
  ASSERT_TRUE(
      DispatchQueue::main().runUntil([&] { return built.has_value(); }, std::chrono::seconds(60)));
  EXPECT_EQ(*built, atTheCall);
}

// Asynchronous builds while the host goes on changing the effect, storing results back into the
// builder and changing the text size, as a host does while a slider is dragged (run under the
// thread sanitizer too). Each build reads the effect as it was when asked. Requests made faster
// than the throttler's rate replace one another: each completes at most once, on the main queue,
// with the build asked for, and the last always does.
TEST(CodeBuilderTest, AsyncBuildsWhileTheHostChangesTheEffectCompleteOnceWithTheirBuild) {
  const DispatchQueue main = DispatchQueue::main();
  CodeBuilder builder(12.0, cacheQueue());
  const auto layer = testing::generateEffect(21, {.cells = 2, .minSubcells = 1, .maxSubcells = 1});
  platform::TextStorage shown;
  std::mt19937 random(8);
  std::vector<std::shared_ptr<const platform::MutableAttributedString>> expected;
  std::vector<int> completions;
  std::atomic<bool> offMainQueue{false};
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
  while (expected.size() < 1500 && std::chrono::steady_clock::now() < deadline) {
    store::CellConfig& cell = *layer->cells[random() % layer->cells.size()];
    const std::optional<AnyKeyPath> changes[] = {CellProperty::birthRate,
                                                 LayerProperty::emitterPositionY,
                                                 CellProperty::color,
                                                 CellProperty::contents,
                                                 {}};
    const std::size_t kind = random() % 5;
    if (kind == 0) cell.birthRate.setValue(cell.birthRate.value + 1.0);
    if (kind == 1) layer->emitterPositionY.setValue(layer->emitterPositionY.value - 0.5);
    if (kind == 2) cell.colorRed = std::uniform_real_distribution<double>(0.0, 1.0)(random);
    if (kind == 3) cell.name += "x";
    if (kind == 4) cell.spin.setValue(cell.spin.value - 3.0);
    const CodePlatform platform = random() % 4 == 0 ? kIOS : kMac;
    // A request copies the builder as it is when made: a build on this thread right before it
    // sees the same cache and text size.
    const auto build = std::make_shared<const platform::MutableAttributedString>(
        *builder.buildMainThread(changes[kind], *layer, platform).text);
    for (auto burst = 1 + random() % 4; burst > 0; --burst) {
      const std::size_t tag = expected.size();
      expected.push_back(build);
      completions.push_back(0);
      builder.buildAsync(changes[kind], *layer, platform, [&, tag](const BuildResult& result) {
        offMainQueue = offMainQueue || !main.isCurrent();
        ++completions.at(tag);
        EXPECT_TRUE(*result.text == *expected[tag]) << "request " << tag;
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
  ASSERT_TRUE(main.runUntil([&] { return completions.back() > 0; }, std::chrono::seconds(60)));
  main.runUntil([] { return false; }, std::chrono::milliseconds(300));  // a second completion
  EXPECT_FALSE(offMainQueue);
  EXPECT_LE(*std::ranges::max_element(completions), 1);
  EXPECT_GT(std::ranges::count(completions, 1), 1);
}

}  // namespace
}  // namespace tessary::code_editor
