#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace tessary::platform {

// Finds entries of a dense array by hash. The entries stay with their owner, in the order they
// were added, and the owner decides which entry matches; the index maps each hash to the
// positions added with it. Open addressing with linear probing over slots of eight bytes (the
// upper half of the hash and the position), at most half of them used, so that a lookup mostly
// reads one cache line and passes over entries with other hashes without reading them.
//
// The hashes are kept, so growing never asks the owner for them again.
class FlatIndex {
 public:
  // The number of entries added, and so the position the next one gets.
  std::size_t size() const { return hashes_.size(); }

  // Makes room for this many entries in all, so that an index sized after an earlier one of the
  // same shape never grows.
  void reserve(std::size_t entries);
  // Forgets every entry but keeps the room.
  void clear();

  // The first position added with `hash` for which `matches(position)` holds, or nothing.
  template <typename Matches>
  std::optional<std::size_t> find(std::uint64_t hash, Matches&& matches) const {
    if (slots_.empty()) return std::nullopt;
    const std::size_t mask = slots_.size() - 1;
    const std::uint32_t tag = tagOf(hash);
    for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
      const Slot slot = slots_[i];
      if (slot.entry == 0) return std::nullopt;
      if (slot.tag == tag && matches(std::size_t{slot.entry - 1})) return slot.entry - 1;
    }
  }

  // Adds the entry at position size() under `hash` and returns that position. An entry equal to
  // one added before is the owner's to avoid: `find` answers with the earlier one.
  std::size_t add(std::uint64_t hash) {
    if (2 * (hashes_.size() + 1) > slots_.size()) grow();
    hashes_.push_back(hash);
    place(hash, static_cast<std::uint32_t>(hashes_.size()));
    return hashes_.size() - 1;
  }

 private:
  struct Slot {
    std::uint32_t tag;
    std::uint32_t entry;  // position + 1; 0 for an empty slot
  };

  static std::uint32_t tagOf(std::uint64_t hash) { return static_cast<std::uint32_t>(hash >> 32); }

  void place(std::uint64_t hash, std::uint32_t entry) {
    const std::size_t mask = slots_.size() - 1;
    std::size_t i = hash & mask;
    while (slots_[i].entry != 0) i = (i + 1) & mask;
    slots_[i] = Slot{tagOf(hash), entry};
  }

  void grow();
  void rehash(std::size_t slotCount);

  std::vector<std::uint64_t> hashes_;
  std::vector<Slot> slots_;  // a power of two in size
};

}  // namespace tessary::platform
