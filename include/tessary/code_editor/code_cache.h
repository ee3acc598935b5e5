#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <unordered_map>

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
  };
  using Lines = std::unordered_map<CacheKey, CacheValue, CacheKeyHash>;

  CodeCache() = default;

  const CacheValue* line(const CacheKey& key) const;
  void storeLine(const CacheKey& key, CacheValue value);

  std::shared_ptr<Lines> lines_;
  std::optional<CacheValue> intro_;
  std::optional<CacheValue> outro_;
};

}  // namespace tessary::code_editor
