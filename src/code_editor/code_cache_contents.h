#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/flat_index.h"
#include "tessary/platform/attributed_string.h"
#include "tessary/store/key_path.h"

namespace tessary::code_editor {

// What a `CodeCache` holds: the snippet of the build that made it, where each of its property
// lines stands there, and the coloured intro and closing text. Made by one build, never changed
// afterwards, read by the next.
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

  // One property line of `text`, with its newline.
  struct Line {
    Key key;
    platform::MutableAttributedString::Part part;
    // A line shown in the changed look stands here to keep the lines in order, but is never
    // copied.
    bool reusable = true;
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

  // Finds the lines of one cache for one build, which asks for them in snippet order, as the
  // build that made the cache placed them: the line after the one found last is tried first, and
  // the lines are indexed by key only when a build asks out of that order.
  class Reader {
   public:
    // `contents` may be null (the empty cache) and must outlive the reader.
    explicit Reader(const CodeCacheContents* contents) : contents_(contents) {}

    // The reusable line under `key` that reads `text` (with its newline) at `textSize`, or null.
    const Line* find(const Key& key, std::string_view text, double textSize);

   private:
    const Line* lineOf(const Key& key);

    const CodeCacheContents* contents_;
    std::size_t expected_ = 0;
    std::optional<platform::FlatIndex> index_;
  };

  ColouredText text;
  double textSize = 0.0;
  std::vector<Line> lines;  // in snippet order
  std::size_t colouredLines = 0;
  std::optional<Frame> intro;
  std::optional<Frame> outro;
  BuildSize lastBuild;
};

}  // namespace tessary::code_editor
