#include "first_occurrence_index.h"

#include <algorithm>
#include <bit>
#include <functional>

namespace tessary::code_editor {

namespace {

constexpr std::size_t kMinimumSlots = 1024;

// The upper half of a hash, kept in a slot to skip most occurrences without reading them.
std::uint32_t highHalf(std::size_t hash) {
  return static_cast<std::uint32_t>(static_cast<std::uint64_t>(hash) >> 32);
}

}  // namespace

void FirstOccurrenceIndex::reserve(std::size_t occurrences) {
  occurrences_.reserve(occurrences);
  const std::size_t slots = std::bit_ceil(std::max(kMinimumSlots, 2 * occurrences));
  if (slots > slots_.size()) rehash(slots);
}

const FirstOccurrenceIndex::Stored* FirstOccurrenceIndex::find(std::string_view text,
                                                               std::string_view piece,
                                                               std::size_t hash) const {
  if (slots_.empty()) return nullptr;
  const std::size_t mask = slots_.size() - 1;
  const std::uint32_t hashHigh = highHalf(hash);
  for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
    const Slot slot = slots_[i];
    if (slot.occurrence == 0) return nullptr;
    if (slot.hashHigh != hashHigh) continue;
    const Stored& occurrence = occurrences_[slot.occurrence - 1];
    if (occurrence.byteLength == piece.size() &&
        text.substr(occurrence.byteStart, piece.size()) == piece) {
      return &occurrence;
    }
  }
}

void FirstOccurrenceIndex::insert(std::size_t hash, const Occurrence& occurrence) {
  occurrences_.push_back(Stored{static_cast<std::uint32_t>(occurrence.byteStart),
                                static_cast<std::uint32_t>(occurrence.byteLength),
                                static_cast<std::uint32_t>(occurrence.range.location),
                                static_cast<std::uint32_t>(occurrence.range.length), hash});
  if (2 * occurrences_.size() > slots_.size()) {
    rehash(std::max(kMinimumSlots, 2 * slots_.size()));
  } else {
    place(hash, static_cast<std::uint32_t>(occurrences_.size()));
  }
}

void FirstOccurrenceIndex::place(std::size_t hash, std::uint32_t occurrence) {
  const std::size_t mask = slots_.size() - 1;
  std::size_t i = hash & mask;
  while (slots_[i].occurrence != 0) i = (i + 1) & mask;
  slots_[i] = Slot{highHalf(hash), occurrence};
}

void FirstOccurrenceIndex::rehash(std::size_t slotCount) {
  slots_.assign(slotCount, Slot{0, 0});
  for (std::size_t i = 0; i < occurrences_.size(); ++i) {
    place(occurrences_[i].hash, static_cast<std::uint32_t>(i + 1));
  }
}

std::size_t FirstOccurrenceIndex::hashOf(std::string_view piece) {
  return std::hash<std::string_view>{}(piece);
}

FirstOccurrenceIndex::Occurrence FirstOccurrenceIndex::firstOccurrence(
    std::string_view text, std::string_view piece, std::size_t hash, const Occurrence& candidate) {
  if (const Stored* found = find(text, piece, hash)) return found->occurrence();
  insert(hash, candidate);
  return candidate;
}

void FirstOccurrenceIndex::add(std::string_view text, const Occurrence& occurrence) {
  const std::string_view piece = text.substr(occurrence.byteStart, occurrence.byteLength);
  const std::size_t hash = hashOf(piece);
  if (find(text, piece, hash) == nullptr) insert(hash, occurrence);
}

}  // namespace tessary::code_editor
