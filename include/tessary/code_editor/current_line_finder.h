#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tessary/code_editor/code_history.h"
#include "tessary/platform/ns_range.h"

namespace tessary::code_editor {

// Finds the current lines of all records of a build in an edited text with one pass over the
// text, whatever the number of records. Gives the same lines as `ChangeLocator::findLine` for each
// record's fixed beginning.
//
// The fixed beginnings are hashed once, when the finder is made. The pass reads every line of the
// text once and hashes each of its prefixes that ends in "=" (after blanks and tabs) on the way,
// eight bytes at a time, so a line costs its length however many "=" it holds. A prefix whose hash
// belongs to a fixed beginning is compared with it; the first line that begins with a fixed
// beginning is that beginning's line.
class CurrentLineFinder {
 public:
  explicit CurrentLineFinder(const std::vector<CodeHistory>& records);

  // For each record, in order: the byte range of its current line in `newString` (from the fixed
  // beginning to the end of the line), or nothing when the record is never analysed or no line
  // begins with its fixed beginning.
  std::vector<std::optional<platform::StringRange>> currentLines(std::string_view newString) const;

 private:
  // One distinct fixed beginning: its hash and its place in `beginningText_`.
  struct Beginning {
    std::uint64_t hash;
    std::size_t offset;
    std::size_t length;
  };
  static constexpr std::uint32_t kNone = UINT32_MAX;

  // The beginning whose text is `text`, or kNone.
  std::uint32_t find(std::uint64_t hash, std::string_view text) const;

  std::string beginningText_;  // the distinct fixed beginnings, one after the other
  std::vector<Beginning> beginnings_;
  std::vector<std::uint32_t> beginningOfRecord_;  // kNone for a record that is never analysed
  std::vector<std::uint32_t> slots_;              // open addressing; kNone marks an empty slot
  std::size_t slotMask_ = 0;
};

}  // namespace tessary::code_editor
