#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "tessary/platform/ns_range.h"
#include "tessary/store/key_path.h"

namespace tessary::code_editor {

// Which property one line of a built snippet shows, and where that line stands. A build makes
// one record per property line, in placement order; the analyzer finds the line again by its
// text after the user edited the snippet.
//
// The line's text is immutable and shared: the records of one build are views of its snippet.
class CodeHistory {
 public:
  CodeHistory(std::string string, platform::NSRange range, store::AnyKeyPath keypath,
              std::optional<int> cellIndex, std::optional<int> subcellIndex)
      : CodeHistory(std::make_shared<const std::string>(std::move(string)), {}, range, keypath,
                    cellIndex, subcellIndex) {
    bytes_.end = text_->size();
  }
  // The line is `bytes` of `text`, which must not be null and is never changed while a record
  // holds it: a build's records share the snippet's text.
  CodeHistory(std::shared_ptr<const std::string> text, platform::StringRange bytes,
              platform::NSRange range, store::AnyKeyPath keypath, std::optional<int> cellIndex,
              std::optional<int> subcellIndex)
      : text_(std::move(text)),
        bytes_(bytes),
        range_(range),
        keypath_(keypath),
        cellIndex_(cellIndex),
        subcellIndex_(subcellIndex) {}

  // The line as placed, without its final newline (a cell header keeps its inner newlines).
  std::string_view string() const {
    return std::string_view(*text_).substr(bytes_.begin, bytes_.end - bytes_.begin);
  }
  // The text the line is a part of (the snippet of the build that made the record), and where.
  const std::string& snippet() const { return *text_; }
  platform::StringRange bytes() const { return bytes_; }
  // The first occurrence of the line and its newline in the snippet, in UTF-16 code units.
  platform::NSRange range() const { return range_; }
  store::AnyKeyPath keypath() const { return keypath_; }
  // Absent for a layer line; the cell's index (its parent's for a sub-cell).
  std::optional<int> cellIndex() const { return cellIndex_; }
  // Present for a sub-cell's line only.
  std::optional<int> subcellIndex() const { return subcellIndex_; }

 private:
  std::shared_ptr<const std::string> text_;
  platform::StringRange bytes_;
  platform::NSRange range_;
  store::AnyKeyPath keypath_;
  std::optional<int> cellIndex_;
  std::optional<int> subcellIndex_;
};

}  // namespace tessary::code_editor
