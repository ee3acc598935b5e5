#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tessary/platform/attributed_string.h"
#include "tessary/store/key_path.h"

namespace tessary::code_editor {

class CodeBuilder;
class CodeBuilderRun;

// The coloured form of every piece a build made, so the next build can reuse a piece whose text
// and text size did not change. A value: copies share the coloured strings (which are never
// changed once stored) and the table of lines until one copy stores a line.
//
// Only a builder makes one, and only a builder reads or writes its entries; a host holds it and
// hands it from a build result back to the builder.
class CodeCache {
 public:
  // The number of property lines held, for a host that reports on its cache.
  std::size_t lineCount() const { return lines_ ? lines_->size() : 0; }

 private:
  friend class CodeBuilder;
  friend class CodeBuilderRun;
  class CodeBuilderRun;
  friend struct CodeCacheInspector;  // tests

  using ColouredText = std::shared_ptr<const platform::MutableAttributedString>;

  // Names one property line: a layer line (no indices), a cell's line or a sub-cell's line.
  struct CacheKey {
    store::AnyKeyPath keypath;
    std::optional<int> cellIndex;
    std::optional<int> subcellIndex;

    bool operator==(const CacheKey&) const = default;
  };
  struct CacheKeyHash {
    std::size_t operator()(const CacheKey& key) const noexcept;
  };
  struct CacheValue {
    ColouredText attributedString;  // the coloured line with its trailing newline
    double textSize;
    // The line without its newline, shared with the history records of the builds that place
    // it; null for the intro and the closing text, which have no records.
    std::shared_ptr<const std::string> recordText = nullptr;
    // The hash by which the builder finds the line's first occurrence in the snippet.
    std::size_t textHash = 0;
  };

  // The lines in the order they were first stored, found by hash. A build asks for its lines in
  // snippet order, as the build that stored them did, so the entry after the one found last is
  // tried before hashing.
  class Lines {
   public:
    using Entry = std::pair<CacheKey, CacheValue>;

    std::size_t size() const { return entries_.size(); }
    auto begin() const { return entries_.begin(); }
    auto end() const { return entries_.end(); }

    // The entry under `key`, or null; `expected` is where it probably stands and is set to the
    // place after it.
    const CacheValue* find(const CacheKey& key, std::size_t& expected) const;
    void store(const CacheKey& key, CacheValue value);
    void reserve(std::size_t lines);

   private:
    struct Slot {
      std::uint32_t hashHigh;
      std::uint32_t entry;  // index + 1; 0 for an empty slot
    };

    std::optional<std::size_t> indexOf(const CacheKey& key, std::size_t hash) const;
    void insertSlot(std::size_t hash, std::uint32_t entry);
    void rehash(std::size_t slots);

    std::vector<Entry> entries_;
    std::vector<Slot> slots_;  // a power of two in size, at most half used
  };

  // The size of the snippet of the build that made this cache, so that the next build makes
  // room once.
  struct BuildSize {
    std::size_t bytes = 0;
    std::size_t runs = 0;
  };

  CodeCache() = default;

  const CacheValue* line(const CacheKey& key) const;
  // The same as `line`, faster when lines are asked for in the order they were stored.
  const CacheValue* lineInOrder(const CacheKey& key);
  void storeLine(const CacheKey& key, CacheValue value);
  // Makes room for this many lines in a table that only this cache holds.
  void reserveLines(std::size_t lines);

  std::shared_ptr<Lines> lines_;
  // Where the next line asked for in order probably stands.
  std::size_t expectedLine_ = 0;
  std::optional<CacheValue> intro_;
  std::optional<CacheValue> outro_;
  BuildSize lastBuild_;
};

}  // namespace tessary::code_editor
