#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/flat_index.h"
#include "tessary/platform/attributed_string.h"
#include "tessary/store/key_path.h"

namespace tessary::code_editor {

// What a `CodeCache` holds: the coloured lines by key, the intro and closing text, and the size of
// the snippet of the build that made it.
class CodeCacheContents {
 public:
  using ColouredText = std::shared_ptr<const platform::MutableAttributedString>;

  // Names one property line: a layer line (no indices), a cell's line or a sub-cell's line.
  struct Key {
    store::AnyKeyPath keypath;
    std::optional<int> cellIndex;
    std::optional<int> subcellIndex;

    bool operator==(const Key&) const = default;
    std::uint64_t hash() const;
  };

  // A property line as coloured once, kept compact: a warm build reads every line it places
  // from here, so each is one small block, its text and its runs.
  struct ColouredLine {
    // The line without its newline, shared with the history records of the builds that place it.
    std::string recordText;
    std::size_t utf16Length;  // with the newline
    // Over the line and its newline; the sets are the cache's (`sets()`).
    std::vector<platform::MutableAttributedString::KeptRun> runs;
  };

  struct Line {
    std::shared_ptr<const ColouredLine> coloured;
    double textSize;
    // The hash by which the builder finds the line's first occurrence in the snippet.
    std::size_t textHash = 0;

    // Whether the line reads `text` (with its newline).
    bool reads(std::string_view text) const {
      return text.size() == coloured->recordText.size() + 1 && text.back() == '\n' &&
             text.starts_with(coloured->recordText);
    }
  };

  // The intro or the closing text.
  struct Frame {
    ColouredText attributedString;
    double textSize;
  };

  // The size of the snippet of the build that made this cache, so that the next build makes
  // room once.
  struct BuildSize {
    std::size_t bytes = 0;
    std::size_t runs = 0;
  };

  std::size_t lineCount() const { return lines_ ? lines_->entries.size() : 0; }
  const Line* line(const Key& key) const;
  // The same as `line`, faster when lines are asked for in the order they were stored.
  const Line* lineInOrder(const Key& key);
  // Stores `piece`, a coloured line with its newline, under `key`; gives the stored line.
  const Line& storeLine(const Key& key, const platform::MutableAttributedString& piece,
                        double textSize, std::size_t textHash);
  // The attribute sets the stored lines' runs refer to.
  const std::vector<platform::AttributeSet>& sets() const;
  // Makes room for this many lines in a table that only this cache holds.
  void reserveLines(std::size_t lines);

  // Every line held, in the order they were first stored.
  template <typename Visit>
  void forEachLine(Visit&& visit) const {
    if (!lines_) return;
    for (const auto& [key, value] : lines_->entries) visit(key, value);
  }

  std::optional<Frame> intro;
  std::optional<Frame> outro;
  BuildSize lastBuild;

 private:
  // The lines in the order they were first stored, found by hash. A build asks for its lines in
  // snippet order, as the build that stored them did, so the entry after the one found last is
  // tried before hashing.
  struct Lines {
    // The entry under `key`, or null; `expected` is where it probably stands and is set to the
    // place after it.
    const Line* find(const Key& key, std::size_t& expected) const;

    std::vector<std::pair<Key, Line>> entries;
    platform::FlatIndex index;
    // Every set a stored line's runs use, each once, found by its address. A set stays while the
    // table lives: only lines coloured anew bring new ones, a link set for a changed header.
    std::vector<platform::AttributeSet> sets;
    platform::FlatIndex setIndex;
  };

  Lines& ownLines();

  std::shared_ptr<Lines> lines_;
  // Where the next line asked for in order probably stands.
  std::size_t expectedLine_ = 0;
};

}  // namespace tessary::code_editor
