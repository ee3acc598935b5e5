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

  // A run of a line kept apart from any string, in a keeper's compact form: where it starts
  // within the line and its set's place in the keeper's table of sets.
  struct KeptRun {
    std::uint32_t byteStart;
    std::uint32_t utf16Start;
    std::uint32_t setIndex;
  };
  // The runs of this string in kept form, each set given its place in the keeper's table by
  // `placeOf` (which adds the set when new).
  template <typename PlaceOf>
  std::vector<KeptRun> keptRuns(PlaceOf&& placeOf) const {
    std::vector<KeptRun> kept;
    kept.reserve(runs_.size());
    for (const RunStart& run : runs_) {
      kept.push_back({run.byteStart, run.utf16Start, placeOf(sets_[run.setIndex])});
    }
    return kept;
  }
  // Appends a kept line, its characters `line` (well-formed) followed by a line feed, `utf16Length`
  // code units with it, and its runs over both. `ownSetOf` maps places in the keeper's table
  // `keeperSets` to this string's sets; the caller keeps it between appends to this string (an
  // empty vector at first), which must not be changed otherwise meanwhile.
  void appendKeptLine(std::string_view line, std::size_t utf16Length,
                      const std::vector<KeptRun>& runs, const std::vector<AttributeSet>& keeperSets,
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
  std::uint32_t setIndexOf(const AttributeSet& attributes);
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
