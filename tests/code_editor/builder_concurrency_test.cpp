// Many asynchronous builds while the host goes on changing the effect, storing results back into
// the builder and changing the text size, as a host does while a slider is dragged. Run under the
// thread sanitizer too.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <thread>

#include "support/generated_effects.h"
#include "tessary/code_editor/code_builder.h"
#include "tessary/platform/attributed_string.h"
#include "tessary/platform/dispatch_queue.h"
#include "tessary/platform/text_storage.h"

namespace tessary::code_editor {
namespace {

using platform::DispatchQueue;
using store::AnyKeyPath;
using store::CellProperty;
using store::LayerProperty;

constexpr auto kRequestTime = std::chrono::seconds(3);
constexpr int kMaxRequests = 1500;

struct Request {
  std::shared_ptr<const platform::MutableAttributedString> expected;
  int completions = 0;
};

// What the host changes between two requests, and the key path it says is being changed.
std::optional<AnyKeyPath> changeEffect(store::LayerConfig& layer, std::mt19937& random) {
  store::CellConfig& cell = *layer.cells[random() % layer.cells.size()];
  switch (random() % 5) {
    case 0:
      cell.birthRate.setValue(cell.birthRate.value + 1.0);
      return AnyKeyPath(CellProperty::birthRate);
    case 1:
      layer.emitterPositionY.setValue(layer.emitterPositionY.value - 0.5);
      return AnyKeyPath(LayerProperty::emitterPositionY);
    case 2:
      cell.colorRed = std::uniform_real_distribution<double>(0.0, 1.0)(random);
      return AnyKeyPath(CellProperty::color);
    case 3:
      cell.name += "x";
      return AnyKeyPath(CellProperty::contents);
    default:
      cell.spin.setValue(cell.spin.value - 3.0);
      return std::nullopt;
  }
}

TEST(BuilderConcurrencyTest, EveryCompletionArrivesOnceOnTheMainQueueWithTheRequestedBuild) {
  const DispatchQueue main = DispatchQueue::main();
  CodeBuilder builder(12.0, DispatchQueue("tessary.test.cache"));
  const store::LayerConfigRef layer =
      testing::generateEffect(21, {.cells = 2, .minSubcells = 1, .maxSubcells = 1});
  platform::TextStorage shown;
  std::mt19937 random(8);
  std::map<int, Request> requests;
  std::atomic<int> offMainQueue{0};
  int completed = 0;

  const auto deadline = std::chrono::steady_clock::now() + kRequestTime;
  int tag = 0;
  while (tag < kMaxRequests && std::chrono::steady_clock::now() < deadline) {
    const std::optional<AnyKeyPath> changed = changeEffect(*layer, random);
    const CodePlatform platform = random() % 4 == 0 ? CodePlatform::iOS : CodePlatform::macOS;
    // A request copies the builder as it is when made: a build on this thread right before it
    // sees the same cache and text size. Requests made together, faster than the throttler's
    // rate, replace one another.
    const auto expected = std::make_shared<const platform::MutableAttributedString>(
        *builder.buildMainThread(changed, *layer, platform).text);
    for (const int burstEnd = tag + 1 + static_cast<int>(random() % 4); tag < burstEnd; ++tag) {
      requests[tag].expected = expected;
      builder.buildAsync(changed, *layer, platform, [&, tag](const BuildResult& result) {
        if (!main.isCurrent()) ++offMainQueue;
        Request& request = requests.at(tag);
        ++request.completions;
        ++completed;
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
    if (random() % 8 == 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(random() % 30));
    }
  }
  const int last = tag - 1;
  ASSERT_TRUE(
      main.runUntil([&] { return requests[last].completions > 0; }, std::chrono::seconds(60)))
      << "the last request never completed";
  // Time for a completion that would come twice.
  main.runUntil([] { return false; }, std::chrono::milliseconds(300));

  EXPECT_EQ(offMainQueue, 0);
  EXPECT_GT(completed, 1);
  for (const auto& [requestTag, request] : requests) {
    EXPECT_LE(request.completions, 1) << "request " << requestTag;
  }
  EXPECT_EQ(requests[last].completions, 1);
}

}  // namespace
}  // namespace tessary::code_editor
