#include "first_occurrence_index.h"

#include <functional>

namespace tessary::code_editor {

namespace {

std::size_t hashOf(std::string_view piece) {
  return std::hash<std::string_view>{}(piece);
}

}  // namespace

FirstOccurrenceIndex::Slot* FirstOccurrenceIndex::find(std::string_view text,
                                                       std::string_view piece, std::size_t hash) {
  if (slots_.empty()) return nullptr;
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
    Slot& slot = slots_[i];
    if (!slot.used) return nullptr;
    if (slot.hash == hash && slot.occurrence.byteLength == piece.size() &&
        text.substr(slot.occurrence.byteStart, piece.size()) == piece) {
      return &slot;
    }
  }
}

void FirstOccurrenceIndex::insert(std::size_t hash, const Occurrence& occurrence) {
  if ((used_ + 1) * 4 > slots_.size() * 3) grow();
  const std::size_t mask = slots_.size() - 1;
  std::size_t i = hash & mask;
  while (slots_[i].used) i = (i + 1) & mask;
  slots_[i] = Slot{hash, occurrence, true};
  ++used_;
}

void FirstOccurrenceIndex::grow() {
  std::vector<Slot> old = std::move(slots_);
  slots_.assign(old.empty() ? 1024 : old.size() * 2, Slot{});
  used_ = 0;
  for (const Slot& slot : old) {
    if (slot.used) insert(slot.hash, slot.occurrence);
  }
}

FirstOccurrenceIndex::Occurrence FirstOccurrenceIndex::firstOccurrence(
    std::string_view text, std::string_view piece, const Occurrence& candidate) {
  const std::size_t hash = hashOf(piece);
  if (const Slot* slot = find(text, piece, hash)) return slot->occurrence;
  insert(hash, candidate);
  return candidate;
}

void FirstOccurrenceIndex::add(std::string_view text, const Occurrence& occurrence) {
  const std::string_view piece = text.substr(occurrence.byteStart, occurrence.byteLength);
  const std::size_t hash = hashOf(piece);
  if (find(text, piece, hash) == nullptr) insert(hash, occurrence);
}

}  // namespace tessary::code_editor
