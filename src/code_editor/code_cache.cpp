#include "tessary/code_editor/code_cache.h"

#include <utility>

namespace tessary::code_editor {

namespace {

// Feeds one value into a running hash (the boost combine).
void combine(std::size_t& seed, std::size_t value) {
  seed ^= value + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2);
}

// A presence marker, then the value when present: an absent index and index 0 differ.
void combine(std::size_t& seed, const std::optional<int>& value) {
  combine(seed, value ? 1 : 0);
  if (value) combine(seed, static_cast<std::size_t>(*value));
}

}  // namespace

std::size_t CodeCache::CacheKeyHash::operator()(const CacheKey& key) const noexcept {
  std::size_t seed = key.keypath.hash();
  combine(seed, key.cellIndex);
  combine(seed, key.subcellIndex);
  return seed;
}

const CodeCache::CacheValue* CodeCache::line(const CacheKey& key) const {
  if (!lines_) return nullptr;
  const auto found = lines_->find(key);
  return found == lines_->end() ? nullptr : &found->second;
}

void CodeCache::storeLine(const CacheKey& key, CacheValue value) {
  // Copy on write: the table is shared with the cache this one was copied from.
  if (!lines_) {
    lines_ = std::make_shared<Lines>();
  } else if (lines_.use_count() > 1) {
    lines_ = std::make_shared<Lines>(*lines_);
  }
  (*lines_)[key] = std::move(value);
}

}  // namespace tessary::code_editor
