#include "flat_index.h"

#include <algorithm>
#include <bit>
#include <limits>

#include "tessary/platform/fatal_error.h"

namespace tessary::platform {

namespace {

// Small enough for the many small tables, large enough that they rarely grow.
constexpr std::size_t kMinimumSlots = 16;

std::size_t slotCountFor(std::size_t entries) {
  return std::bit_ceil(std::max(kMinimumSlots, 2 * entries));
}

}  // namespace

void FlatIndex::reserve(std::size_t entries) {
  hashes_.reserve(entries);
  const std::size_t slots = slotCountFor(entries);
  if (slots > slots_.size()) rehash(slots);
}

void FlatIndex::clear() {
  hashes_.clear();
  std::fill(slots_.begin(), slots_.end(), Slot{0, 0});
}

void FlatIndex::grow() {
  // Slots hold positions in 32 bits.
  if (hashes_.size() >= std::numeric_limits<std::uint32_t>::max() - 1) {
    fatalError("Flat index full");
  }
  rehash(slotCountFor(hashes_.size() + 1));
}

void FlatIndex::rehash(std::size_t slotCount) {
  slots_.assign(slotCount, Slot{0, 0});
  for (std::size_t i = 0; i < hashes_.size(); ++i) {
    place(hashes_[i], static_cast<std::uint32_t>(i + 1));
  }
}

}  // namespace tessary::platform
