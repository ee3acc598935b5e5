#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/flat_index.h"
#include "tessary/platform/ns_range.h"

namespace tessary::code_editor {

// Finds where a piece of the snippet occurs first, without searching the whole snippet again
// for every piece.
//
// Every piece ends with a newline, and the snippet's lines carry their variable name at the
// start and escape every quote inside a name, so an earlier occurrence of a piece can only be an
// earlier piece of the same text, or the tail of an earlier cell header from its empty line on
// (a header without texture inside one with texture), and only when two cells share a variable
// name. The builder needs the index only then, and registers exactly those; a query is one hash
// lookup and one comparison. The tests check this against a plain search of
// the whole text on generated effects with hostile names and repeated indices.
class FirstOccurrenceIndex {
 public:
  struct Occurrence {
    std::size_t byteStart;
    std::size_t byteLength;
    platform::NSRange range;  // UTF-16
  };

  // Makes room for this many occurrences, so that an index sized after the previous build's
  // never grows.
  void reserve(std::size_t occurrences);

  // The hash of a piece's text, as `firstOccurrence` takes it.
  static std::size_t hashOf(std::string_view piece);

  // The first registered occurrence of `piece` in `text`, or, when there is none, `candidate`
  // (the piece's own place), which is registered then. `hash` is the piece's `hashOf`.
  Occurrence firstOccurrence(std::string_view text, std::string_view piece, std::size_t hash,
                             const Occurrence& candidate);

  // Registers an occurrence unless one of the same text is registered already.
  void add(std::string_view text, const Occurrence& occurrence);

 private:
  // An occurrence as kept: the snippet's offsets fit 32 bits, as its runs' do.
  struct Stored {
    std::uint32_t byteStart;
    std::uint32_t byteLength;
    std::uint32_t utf16Start;
    std::uint32_t utf16Length;

    Occurrence occurrence() const { return {byteStart, byteLength, {utf16Start, utf16Length}}; }
  };

  const Stored* find(std::string_view text, std::string_view piece, std::size_t hash) const;
  void insert(std::size_t hash, const Occurrence& occurrence);

  std::vector<Stored> occurrences_;
  platform::FlatIndex index_;
};

}  // namespace tessary::code_editor
