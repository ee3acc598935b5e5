#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "tessary/platform/ns_range.h"

namespace tessary::code_editor {

// Finds where a piece of the snippet occurs first, without searching the whole snippet again
// for every piece.
//
// Every piece ends with a newline, and the snippet's lines carry their variable name at the
// start and escape every quote inside a name, so an earlier occurrence of a piece can only be an
// earlier piece of the same text, or the tail of an earlier cell header from its empty line on
// (a header without texture inside one with texture). The builder registers exactly those, and
// a query is one hash lookup and one comparison. The tests check this against a plain search of
// the whole text on generated effects with hostile names and repeated indices.
class FirstOccurrenceIndex {
 public:
  struct Occurrence {
    std::size_t byteStart;
    std::size_t byteLength;
    platform::NSRange range;  // UTF-16
  };

  // The first registered occurrence of `piece` in `text`, or, when there is none, `candidate`
  // (the piece's own place), which is registered then.
  Occurrence firstOccurrence(std::string_view text, std::string_view piece,
                             const Occurrence& candidate);

  // Registers an occurrence unless one of the same text is registered already.
  void add(std::string_view text, const Occurrence& occurrence);

 private:
  struct Slot {
    std::size_t hash = 0;
    Occurrence occurrence{};
    bool used = false;
  };

  Slot* find(std::string_view text, std::string_view piece, std::size_t hash);
  void insert(std::size_t hash, const Occurrence& occurrence);
  void grow();

  std::vector<Slot> slots_;
  std::size_t used_ = 0;
};

}  // namespace tessary::code_editor
