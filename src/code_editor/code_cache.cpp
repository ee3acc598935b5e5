#include "tessary/code_editor/code_cache.h"

#include <algorithm>
#include <bit>
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

// The upper half of a hash, kept in a slot to skip most entries without reading them.
std::uint32_t upperHalf(std::size_t hash) {
  return static_cast<std::uint32_t>(static_cast<std::uint64_t>(hash) >> 32);
}

}  // namespace

std::size_t CodeCache::CacheKeyHash::operator()(const CacheKey& key) const noexcept {
  std::size_t seed = key.keypath.hash();
  combine(seed, key.cellIndex);
  combine(seed, key.subcellIndex);
  return seed;
}

const CodeCache::CacheValue* CodeCache::line(const CacheKey& key) const {
  std::size_t expected = 0;
  return lines_ ? lines_->find(key, expected) : nullptr;
}

const CodeCache::CacheValue* CodeCache::lineInOrder(const CacheKey& key) {
  return lines_ ? lines_->find(key, expectedLine_) : nullptr;
}

void CodeCache::storeLine(const CacheKey& key, CacheValue value) {
  // Copy on write: the table is shared with the cache this one was copied from.
  if (!lines_) {
    lines_ = std::make_shared<Lines>();
  } else if (lines_.use_count() > 1) {
    lines_ = std::make_shared<Lines>(*lines_);
  }
  lines_->store(key, std::move(value));
}

void CodeCache::reserveLines(std::size_t lines) {
  if (!lines_) {
    lines_ = std::make_shared<Lines>();
  } else if (lines_.use_count() > 1) {
    return;
  }
  lines_->reserve(lines);
}

const CodeCache::CacheValue* CodeCache::Lines::find(const CacheKey& key,
                                                    std::size_t& expected) const {
  if (expected < entries_.size() && entries_[expected].first == key) {
    return &entries_[expected++].second;
  }
  const std::optional<std::size_t> index = indexOf(key, CacheKeyHash{}(key));
  if (!index) return nullptr;
  expected = *index + 1;
  return &entries_[*index].second;
}

std::optional<std::size_t> CodeCache::Lines::indexOf(const CacheKey& key, std::size_t hash) const {
  if (slots_.empty()) return std::nullopt;
  const std::size_t mask = slots_.size() - 1;
  const std::uint32_t hashHigh = upperHalf(hash);
  for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
    const Slot slot = slots_[i];
    if (slot.entry == 0) return std::nullopt;
    if (slot.hashHigh == hashHigh && entries_[slot.entry - 1].first == key) return slot.entry - 1;
  }
}

void CodeCache::Lines::store(const CacheKey& key, CacheValue value) {
  const std::size_t hash = CacheKeyHash{}(key);
  if (const std::optional<std::size_t> index = indexOf(key, hash)) {
    entries_[*index].second = std::move(value);
    return;
  }
  entries_.emplace_back(key, std::move(value));
  if (2 * entries_.size() > slots_.size()) {
    rehash(std::bit_ceil(std::max<std::size_t>(64, 2 * entries_.size())));
  } else {
    insertSlot(hash, static_cast<std::uint32_t>(entries_.size()));
  }
}

void CodeCache::Lines::reserve(std::size_t lines) {
  entries_.reserve(lines);
  const std::size_t slots = std::bit_ceil(std::max<std::size_t>(64, 2 * lines));
  if (slots > slots_.size()) rehash(slots);
}

void CodeCache::Lines::insertSlot(std::size_t hash, std::uint32_t entry) {
  const std::size_t mask = slots_.size() - 1;
  std::size_t i = hash & mask;
  while (slots_[i].entry != 0) i = (i + 1) & mask;
  slots_[i] = Slot{upperHalf(hash), entry};
}

void CodeCache::Lines::rehash(std::size_t slots) {
  slots_.assign(slots, Slot{0, 0});
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    insertSlot(CacheKeyHash{}(entries_[i].first), static_cast<std::uint32_t>(i + 1));
  }
}

}  // namespace tessary::code_editor
