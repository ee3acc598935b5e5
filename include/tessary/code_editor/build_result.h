#pragma once

#include <memory>
#include <vector>

#include "tessary/code_editor/code_cache.h"
#include "tessary/code_editor/code_history.h"
#include "tessary/platform/attributed_string.h"

namespace tessary::code_editor {

// What one build produced: the coloured snippet (a fresh object every build), one history record
// per property line in placement order, and the builder's cache with every entry the build made.
struct BuildResult {
  std::shared_ptr<platform::MutableAttributedString> text;
  std::vector<CodeHistory> newHistroy;
  CodeCache cache;
};

}  // namespace tessary::code_editor
