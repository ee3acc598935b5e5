#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "tessary/code_editor/build_result.h"
#include "tessary/code_editor/code_cache.h"
#include "tessary/code_editor/code_highlighter.h"
#include "tessary/code_editor/code_platform.h"
#include "tessary/code_editor/section_builder.h"
#include "tessary/platform/dispatch_queue.h"
#include "tessary/platform/text_storage.h"
#include "tessary/store/key_path.h"
#include "tessary/store/layer_config.h"
#include "tessary/store/tessary_throttler.h"

namespace tessary::code_editor {

// The host's way to the coloured snippet of an effect. Puts the pieces together in snippet
// order, reuses coloured pieces from the cache, shows a line the user is changing right now in
// the changed look, and records which line shows which property.
//
// A value: copies share the two queues, the throttler and the coloured pieces of the cache. A
// build never changes the builder; the host stores `BuildResult::cache` back into `cache`.
class CodeBuilder {
 public:
  using Completion = std::function<void(const BuildResult&)>;

  // `cacheQueue` is where every build reads `cache`; it must not be the queue a build is
  // started from.
  CodeBuilder(double textSize, platform::DispatchQueue cacheQueue);

  // Read and written by the host, on its main thread.
  CodeCache cache;

  const store::TessaryThrottler& throttler() const { return throttler_; }
  // True once the text size has come down to one point or less.
  bool isMinTextSize() const { return codeHighlighter_.textSize() <= 1.0; }
  double textSize() const { return codeHighlighter_.textSize(); }
  const CodeHighlighter& highlighter() const { return codeHighlighter_; }

  // One point larger or smaller; restyles `storage` when given. Pieces cached at the old size
  // are coloured again by the next build.
  void textSizeIncreased(bool increased, platform::TextStorage* storage);

  // Builds on the calling thread. `changedKeypath` names the property the user is changing at
  // this moment, if any.
  BuildResult buildMainThread(std::optional<store::AnyKeyPath> changedKeypath,
                              const store::LayerConfig& newStore, CodePlatform platform) const;

  // The coloured snippet `buildMainThread` gives when nothing is being changed, for a host that
  // shows it once: no cache and no records are made, so it takes far less time and memory.
  std::shared_ptr<const platform::MutableAttributedString> buildText(
      const store::LayerConfig& layer, CodePlatform platform) const;

  // Hands the build to the throttler, runs it on the builder queue and calls `completion` on
  // the main queue. The build reads a copy of `newStore` made during this call, on the calling
  // thread: later changes to the effect do not reach it, and the host may go on changing its
  // store meanwhile. A request the throttler replaces by a later one never builds and never
  // completes.
  void buildAsync(std::optional<store::AnyKeyPath> changedKeypath,
                  const store::LayerConfig& newStore, CodePlatform platform,
                  Completion completion) const;

  // Whether the line of `key` counts as the line being changed on `platform`: the line of the
  // changed property, or one that shows it too.
  static bool isChanged(store::AnyKeyPath key, std::optional<store::AnyKeyPath> changedKeypath,
                        CodePlatform platform);

 private:
  platform::DispatchQueue builderQueue_;
  store::TessaryThrottler throttler_;
  SectionBuilder sectionBuilder_;
  CodeHighlighter codeHighlighter_;
  platform::DispatchQueue cacheReadQueue_;
};

}  // namespace tessary::code_editor
