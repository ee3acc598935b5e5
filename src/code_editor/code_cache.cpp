#include "tessary/code_editor/code_cache.h"

#include "code_cache_contents.h"

namespace tessary::code_editor {

std::size_t CodeCache::lineCount() const {
  return contents_ ? contents_->lines.size() : 0;
}

std::size_t CodeCache::colouredLineCount() const {
  return contents_ ? contents_->colouredLines : 0;
}

}  // namespace tessary::code_editor
