#pragma once

#include <memory>
#include <vector>

#include "tessary/code_editor/code_cache.h"
#include "tessary/code_editor/code_history.h"
#include "tessary/platform/attributed_string.h"

namespace tessary::code_editor {

// What one build produced: the coloured snippet (a fresh object every build, never changed
// afterwards: the records and the cache refer to it), one history record per property line in
// placement order, and the cache the next build reuses this one's lines from.
struct BuildResult {
  std::shared_ptr<const platform::MutableAttributedString> text;
  std::vector<CodeHistory> newHistroy;
  CodeCache cache;
};

}  // namespace tessary::code_editor
