#include "tessary/code_editor/code_cache.h"

#include "code_cache_contents.h"

namespace tessary::code_editor {

CodeCache::CodeCache() : contents_(std::make_unique<CodeCacheContents>()) {}

CodeCache::CodeCache(const CodeCache& other)
    : contents_(other.contents_ ? std::make_unique<CodeCacheContents>(*other.contents_) : nullptr) {
}

CodeCache& CodeCache::operator=(const CodeCache& other) {
  if (this == &other) return *this;
  if (!other.contents_) {
    contents_.reset();
  } else if (contents_) {
    *contents_ = *other.contents_;
  } else {
    contents_ = std::make_unique<CodeCacheContents>(*other.contents_);
  }
  return *this;
}

CodeCache::CodeCache(CodeCache&& other) noexcept = default;
CodeCache& CodeCache::operator=(CodeCache&& other) noexcept = default;
CodeCache::~CodeCache() = default;

std::size_t CodeCache::lineCount() const {
  return contents_ ? contents_->lineCount() : 0;
}

CodeCacheContents& CodeCache::contents() {
  if (!contents_) contents_ = std::make_unique<CodeCacheContents>();
  return *contents_;
}

}  // namespace tessary::code_editor
