#pragma once

#include <cstddef>
#include <memory>
#include <utility>

namespace tessary::code_editor {

class CodeCacheContents;

// What the next build can reuse of the last one: where each coloured property line stands in
// that build's snippet, so a line whose text and text size did not change is copied from there
// with its colours instead of being coloured again. A value: copies share the contents, which no
// one changes once a build made them.
//
// Only a builder makes one, and only a builder reads its entries; a host holds it and hands it
// from a build result back to the builder.
class CodeCache {
 public:
  // The number of property lines held, for a host that reports on its cache.
  std::size_t lineCount() const;
  // How many of them the build that made this cache coloured anew rather than copying them from
  // the cache it was given.
  std::size_t colouredLineCount() const;

 private:
  friend class CodeBuilder;
  friend class CodeBuilderRun;

  CodeCache() = default;
  explicit CodeCache(std::shared_ptr<const CodeCacheContents> contents)
      : contents_(std::move(contents)) {}

  // Null for the empty cache.
  std::shared_ptr<const CodeCacheContents> contents_;
};

}  // namespace tessary::code_editor
