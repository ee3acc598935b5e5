#include "first_occurrence_index.h"

#include "platform/word_hash.h"

namespace tessary::code_editor {

void FirstOccurrenceIndex::reserve(std::size_t occurrences) {
  occurrences_.reserve(occurrences);
  index_.reserve(occurrences);
}

const FirstOccurrenceIndex::Stored* FirstOccurrenceIndex::find(std::string_view text,
                                                               std::string_view piece,
                                                               std::size_t hash) const {
  const std::optional<std::size_t> found = index_.find(hash, [&](std::size_t at) {
    const Stored& occurrence = occurrences_[at];
    return occurrence.byteLength == piece.size() &&
           text.substr(occurrence.byteStart, piece.size()) == piece;
  });
  return found ? &occurrences_[*found] : nullptr;
}

void FirstOccurrenceIndex::insert(std::size_t hash, const Occurrence& occurrence) {
  index_.add(hash);
  occurrences_.push_back(Stored{static_cast<std::uint32_t>(occurrence.byteStart),
                                static_cast<std::uint32_t>(occurrence.byteLength),
                                static_cast<std::uint32_t>(occurrence.range.location),
                                static_cast<std::uint32_t>(occurrence.range.length)});
}

std::size_t FirstOccurrenceIndex::hashOf(std::string_view piece) {
  return platform::WordHash::of(piece);
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
