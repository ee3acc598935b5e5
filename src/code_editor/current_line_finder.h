#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
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
// The fixed beginnings are hashed once, when the finder is made, and kept for the finder of the
// next build while every record keeps its beginning. The pass reads every line of the
// text eight bytes at a time. Lines mostly stand in the order of the records, so a line with one
// "=" is first compared with the beginning after the last one found. Any other line with a "="
// has each of its prefixes that ends in "=" (after blanks and tabs) hashed in one more reading of
// the line, so a line costs its length however many "=" it holds; a prefix whose hash belongs to
// a fixed beginning is compared with it. The first line that begins with a fixed beginning is
// that beginning's line.
class CurrentLineFinder {
 public:
  explicit CurrentLineFinder(const std::vector<CodeHistory>& records);
  // The finder of `records`, made from `previous`, the finder of `previousRecords`: when every
  // record keeps the fixed beginning it had there (a build after new numbers), the beginnings
  // and their index are shared and only the records whose text changed are read. Finds what
  // `CurrentLineFinder(records)` finds.
  static CurrentLineFinder renewed(const std::vector<CodeHistory>& records,
                                   const std::vector<CodeHistory>& previousRecords,
                                   const CurrentLineFinder& previous);

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
  // One distinct fixed beginning: its place in `Beginnings::text`.
  struct Beginning {
    std::size_t offset;
    std::size_t length;
  };
  static constexpr std::uint32_t kNone = UINT32_MAX;
  static constexpr std::size_t kUnassigned = SIZE_MAX;

  // The distinct fixed beginnings, found by hash, and which one each record has. Builds that
  // place the same lines with other numbers have the same beginnings and share these.
  struct Beginnings {
    std::string text;  // the distinct fixed beginnings, one after the other
    std::vector<Beginning> entries;
    platform::FlatIndex index;
    std::vector<std::uint32_t> ofRecord;  // kNone for a record that is never analysed
    // One bit per hash value range, set for the beginnings' hashes: most prefixes that are no
    // beginning are turned away here, without a look into the larger index.
    std::vector<std::uint64_t> filter;
    std::size_t filterMask = 0;

    explicit Beginnings(std::size_t recordCount);
    // The number of the beginning `beginning`, added when new.
    std::uint32_t add(std::string_view beginning);
    // The beginning whose text is `beginning`, or kNone.
    std::uint32_t find(std::uint64_t hash, std::string_view beginning) const;
    std::string_view textOf(std::size_t beginning) const {
      return std::string_view(text).substr(entries[beginning].offset, entries[beginning].length);
    }
    bool mayBeBeginning(std::uint64_t hash) const {
      const std::size_t bit = (hash >> 32) & filterMask;
      return (filter[bit / 64] >> (bit % 64) & 1) != 0;
    }
  };

  // Each record's text after its fixed beginning, one after the other in record order; a record
  // whose text has anything before its fixed beginning never reads as a current line
  // (kUnassigned).
  struct Rest {
    std::size_t offset;
    std::size_t length;
  };
  struct Rests {
    std::string text;
    std::vector<Rest> ofRecord;
  };
  // The rest of a record whose text changed since `rests_` was made.
  struct ChangedRest {
    std::size_t record;
    std::optional<std::string> text;  // absent for a rest that never reads as a current line
  };

  // The record's text after its fixed beginning `beginning` (a part of it), when the text begins
  // with it.
  static std::optional<std::string_view> restAfter(std::string_view text,
                                                   std::string_view beginning);
  std::optional<std::string_view> restOf(std::size_t record) const;
  // `rests_` with the changed rests written in.
  std::shared_ptr<const Rests> foldedRests(std::size_t recordCount) const;

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

  CurrentLineFinder(std::shared_ptr<const Beginnings> beginnings,
                    std::shared_ptr<const Rests> rests, std::vector<ChangedRest> changedRests)
      : beginnings_(std::move(beginnings)),
        rests_(std::move(rests)),
        changedRests_(std::move(changedRests)) {}

  std::shared_ptr<const Beginnings> beginnings_;
  std::shared_ptr<const Rests> rests_;
  std::vector<ChangedRest> changedRests_;  // in record order
};

}  // namespace tessary::code_editor
