#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/flat_index.h"
#include "tessary/code_editor/code_history.h"
#include "tessary/platform/ns_range.h"

namespace tessary::code_editor {

// Finds the current lines of all records of a build in an edited text with one pass over the
// text, whatever the number of records. Gives the same lines as `ChangeLocator::findLine` for each
// record's fixed beginning.
//
// The fixed beginnings are hashed once, when the finder is made. The pass reads every line of the
// text eight bytes at a time. Lines mostly stand in the order of the records, so a line with one
// "=" is first compared with the beginning after the last one found. Any other line with a "="
// has each of its prefixes that ends in "=" (after blanks and tabs) hashed in one more reading of
// the line, so a line costs its length however many "=" it holds; a prefix whose hash belongs to
// a fixed beginning is compared with it. The first line that begins with a fixed beginning is
// that beginning's line.
class CurrentLineFinder {
 public:
  explicit CurrentLineFinder(const std::vector<CodeHistory>& records);

  // The current lines of the records in one text. Refers to the finder, which must outlive it.
  class CurrentLines {
   public:
    // The byte range of the current line of record `record` (from the fixed beginning to the end
    // of the line), or nothing when the record is never analysed or no line begins with its
    // fixed beginning.
    std::optional<platform::StringRange> operator[](std::size_t record) const;

   private:
    friend class CurrentLineFinder;
    CurrentLines(const CurrentLineFinder& finder, std::vector<platform::StringRange> lines)
        : finder_(&finder), lineOfBeginning_(std::move(lines)) {}

    const CurrentLineFinder* finder_;
    std::vector<platform::StringRange> lineOfBeginning_;
  };

  CurrentLines currentLines(std::string_view newString) const;

  // Whether `line`, the current line of record `record`, reads as the record's text. Compares
  // with a copy of the records' texts kept in record order, so that checking every record of a
  // large snippet reads memory in one sweep.
  bool isAsBuilt(std::size_t record, std::string_view line) const;

 private:
  // One distinct fixed beginning: its place in `beginningText_`.
  struct Beginning {
    std::size_t offset;
    std::size_t length;
  };
  static constexpr std::uint32_t kNone = UINT32_MAX;
  static constexpr std::size_t kUnassigned = SIZE_MAX;

  // Where a line ends and where its "=" are.
  struct LineShape {
    std::size_t end;
    std::size_t equalsSigns;
    std::size_t lastEquals;
  };
  static LineShape lineShape(std::string_view text, std::size_t start);

  // Calls `found` with every beginning that the line from `start` begins with, shortest first,
  // reading the line once up to its last "=" at `lastEquals`.
  template <typename Found>
  void forEachBeginningOnLine(std::string_view text, std::size_t start, std::size_t lastEquals,
                              Found&& found) const;

  // The beginning whose text is `text`, or kNone.
  std::uint32_t find(std::uint64_t hash, std::string_view text) const;
  std::string_view beginningText(std::size_t beginning) const;
  bool mayBeBeginning(std::uint64_t hash) const;

  std::string beginningText_;  // the distinct fixed beginnings, one after the other
  std::vector<Beginning> beginnings_;
  platform::FlatIndex index_;
  std::vector<std::uint32_t> beginningOfRecord_;  // kNone for a record that is never analysed
  // Each record's text after its fixed beginning, in `restText_`; a record whose text has
  // anything before its fixed beginning never reads as a current line (kUnassigned).
  struct Rest {
    std::size_t offset;
    std::size_t length;
  };
  std::string restText_;
  std::vector<Rest> restOfRecord_;
  // One bit per hash value range, set for the beginnings' hashes: most prefixes that are no
  // beginning are turned away here, without a look into the larger index.
  std::vector<std::uint64_t> filter_;
  std::size_t filterMask_ = 0;
};

}  // namespace tessary::code_editor
