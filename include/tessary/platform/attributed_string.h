#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tessary/platform/ns_range.h"
#include "tessary/platform/text_attributes.h"

namespace tessary::platform {

class FlatIndex;

// One stretch of text whose characters all carry the same attributes.
struct AttributeRun {
  NSRange range;  // UTF-16 code units
  StringRange bytes;
  const AttributeSet* attributeSet;
  // The set's place in the string's table of attribute sets (see attributeSet(index)).
  std::size_t setIndex;

  const TextAttributes& attributes() const { return **attributeSet; }
};

// Text in UTF-8 with attributes on every character, counted in UTF-16 code units at its
// interface like the host's text system.
//
// Built for appending many small pieces: a string keeps a small table of shared attribute sets
// and runs that are three integers each, so appending copies characters and run starts and
// touches a shared set only the first time the target meets it. Adjacent runs with equal
// attributes are always merged, and no two entries of the table are equal, so strings that
// hold the same characters and attributes have the same runs.
//
// Text given to it that is not well-formed UTF-8 is taken with every ill-formed part replaced
// by U+FFFD. A value type: copies are independent.
class MutableAttributedString {
 public:
  MutableAttributedString() = default;
  // The whole text with one attribute set; a null set means no attributes.
  MutableAttributedString(std::string text, const AttributeSet& attributes);
  // Makes a new set from `attributes`; prefer a shared set when making many strings.
  MutableAttributedString(std::string text, const TextAttributes& attributes);

  // The plain text.
  const std::string& string() const { return text_; }
  // The length in UTF-16 code units.
  std::size_t length() const { return utf16Length_; }
  bool empty() const { return text_.empty(); }

  void append(const MutableAttributedString& other);
  // Makes room for this many bytes and runs in all, so that a string built from many pieces,
  // sized after the one built before it, grows without moving.
  void reserve(std::size_t bytes, std::size_t runs);
  // Gives back the room kept for growth, for a string that is kept long and not appended to.
  void shrinkToFit();
  // Empties the string and its table of sets but keeps their room, so that one string can
  // build many short texts in turn without allocating.
  void clear();
  // Appends one run of text; a null set means no attributes.
  void append(std::string_view text, const AttributeSet& attributes);

  // A run of a text coloured apart from any string, in a compact form: where it starts within
  // the text and its set's place in the colourer's table of sets.
  struct KeptRun {
    std::uint32_t byteStart;
    std::uint32_t utf16Start;
    std::uint32_t setIndex;
  };
  // Appends `text` (well-formed, `utf16Length` code units) coloured apart: `runs` over it, their
  // sets given by place in the colourer's table `keeperSets`. `ownSetOf` maps those places to
  // this string's sets; the caller keeps it between appends to this string (an empty vector at
  // first), which must not be changed otherwise meanwhile.
  void appendColoured(std::string_view text, std::size_t utf16Length,
                      const std::vector<KeptRun>& runs, const std::vector<AttributeSet>& keeperSets,
                      std::vector<std::uint32_t>& ownSetOf);

  // A stretch of a string that begins and ends between characters, with the run its first
  // character is in, so that it can be copied into another string without searching.
  struct Part {
    std::uint32_t byteStart = 0;
    std::uint32_t byteLength = 0;
    std::uint32_t utf16Start = 0;
    std::uint32_t utf16Length = 0;
    std::uint32_t firstRun = 0;

    // The part's characters in the text of the string it is a part of.
    std::string_view textIn(const std::string& text) const {
      return std::string_view(text.data() + byteStart, byteLength);
    }
  };
  // Where the string ends now: what is appended after it is `partSince(mark)`.
  struct Mark {
    std::uint32_t byte;
    std::uint32_t utf16;
    std::uint32_t runs;
  };
  Mark mark() const {
    return {static_cast<std::uint32_t>(text_.size()), static_cast<std::uint32_t>(utf16Length_),
            static_cast<std::uint32_t>(runs_.size())};
  }
  // Everything appended since `mark` was taken.
  Part partSince(const Mark& mark) const;
  // Appends a part of `source` (another string) with its attributes. `ownSetOf` maps the sets of
  // `source` to this string's, as for appendColoured: kept by the caller for this pair of strings.
  void appendPart(const MutableAttributedString& source, const Part& part,
                  std::vector<std::uint32_t>& ownSetOf);

  // Sets every attribute that `attributes` has over `range`, keeping the others. A range that
  // begins or ends inside a surrogate pair takes in the whole character. A range that reaches
  // past the end of the text is a programming error.
  void addAttributes(const TextAttributes& attributes, NSRange range);

  // The attributes of the character at a UTF-16 index below length(), and optionally the
  // whole run of equal attributes around it.
  const TextAttributes& attributesAt(std::size_t index, NSRange* effectiveRange = nullptr) const;

  // The bytes of the characters in a UTF-16 range, taking in whole characters at either end.
  StringRange byteRange(NSRange range) const;

  std::size_t runCount() const { return runs_.size(); }
  AttributeRun run(std::size_t index) const {
    const RunStart& start = runs_[index];
    return {{start.utf16Start, runEndUtf16(index) - start.utf16Start},
            {start.byteStart, runEndByte(index)},
            &sets_[start.setIndex],
            start.setIndex};
  }

  // The distinct attribute sets the runs refer to by index, so that work done per set (a
  // renderer's styles) can be kept in a plain array. The table may also hold sets no run uses
  // any more; no two of its sets are equal.
  std::size_t attributeSetCount() const { return sets_.size(); }
  const AttributeSet& attributeSet(std::size_t index) const { return sets_[index]; }

  class RunIterator {
   public:
    using value_type = AttributeRun;
    using difference_type = std::ptrdiff_t;
    using iterator_category = std::input_iterator_tag;

    RunIterator() = default;
    RunIterator(const MutableAttributedString* string, std::size_t index)
        : string_(string), index_(index) {}
    AttributeRun operator*() const { return string_->run(index_); }
    RunIterator& operator++() {
      ++index_;
      return *this;
    }
    RunIterator operator++(int) {
      RunIterator before = *this;
      ++index_;
      return before;
    }
    bool operator==(const RunIterator& other) const { return index_ == other.index_; }

   private:
    const MutableAttributedString* string_ = nullptr;
    std::size_t index_ = 0;
  };
  struct Runs {
    RunIterator first;
    RunIterator last;
    RunIterator begin() const { return first; }
    RunIterator end() const { return last; }
  };
  // The runs in text order; invalidated by any change of the string.
  Runs runs() const { return {RunIterator(this, 0), RunIterator(this, runs_.size())}; }

  // Same characters and equal attributes on every character.
  bool operator==(const MutableAttributedString& other) const;

 private:
  struct RunStart {
    std::uint32_t byteStart;
    std::uint32_t utf16Start;
    std::uint32_t setIndex;
  };
  struct Position {
    std::size_t byte;
    std::size_t utf16;
  };
  enum class Rounding { down, up };

  void appendWellFormed(std::string_view text, std::size_t utf16Length,
                        const AttributeSet& attributes);
  void checkRoomFor(std::size_t bytes) const;
  void checkRange(NSRange range) const;
  friend class SetMapping;
  std::uint32_t setIndexOf(const AttributeSet& attributes);
  // Adds a run unless it continues the last one's set.
  void appendRunStart(const RunStart& start) {
    if (runs_.empty() || runs_.back().setIndex != start.setIndex) runs_.push_back(start);
  }
  std::uint32_t setIndexOfValue(TextAttributes attributes);
  // The index of the set equal to `attributes`; when there is none, `make()` is added.
  template <typename Make>
  std::uint32_t findOrAddSet(const TextAttributes& attributes, Make&& make);
  std::size_t runIndexAtUtf16(std::size_t index) const;
  std::size_t runIndexAtByte(std::size_t byte) const;
  std::size_t runEndByte(std::size_t runIndex) const {
    return runIndex + 1 < runs_.size() ? runs_[runIndex + 1].byteStart : text_.size();
  }
  std::size_t runEndUtf16(std::size_t runIndex) const {
    return runIndex + 1 < runs_.size() ? runs_[runIndex + 1].utf16Start : utf16Length_;
  }
  Position positionAt(std::size_t utf16Index, Rounding rounding) const;
  std::size_t splitRunAt(Position position);
  void mergeEqualRuns(std::size_t first, std::size_t last);
  void dropUnusedSets();

  std::string text_;
  std::size_t utf16Length_ = 0;
  std::vector<RunStart> runs_;
  std::vector<AttributeSet> sets_;
  // Up to this many sets are found by scanning the table. Beyond it they are found by hash (a
  // snippet carries link sets for every cell) through an index made when first needed, so that
  // the many small strings that never need one carry only an empty pointer.
  static constexpr std::size_t kScannedSets = 16;
  class SetIndex {
   public:
    SetIndex();
    // A copy makes its own index when it needs one.
    SetIndex(const SetIndex&);
    SetIndex& operator=(const SetIndex&);
    SetIndex(SetIndex&&) noexcept;
    SetIndex& operator=(SetIndex&&) noexcept;
    ~SetIndex();

    FlatIndex& get();
    void clear();

   private:
    std::unique_ptr<FlatIndex> index_;
  };
  SetIndex setIndex_;
  // addAttributes leaves sets that no run uses any more; they are dropped when the table
  // outgrows this size.
  static constexpr std::size_t kFirstCompactionSize = 32;
  std::size_t setsCompactionSize_ = kFirstCompactionSize;
};

}  // namespace tessary::platform
