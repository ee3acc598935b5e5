#pragma once

#include <cstddef>
#include <memory>

namespace tessary::code_editor {

class CodeCacheContents;

// The coloured form of every piece a build made, so the next build can reuse a piece whose text
// and text size did not change. A value: copies share the coloured strings (which are never
// changed once stored) and the table of lines until one copy stores a line.
//
// Only a builder makes one, and only a builder reads or writes its entries; a host holds it and
// hands it from a build result back to the builder.
class CodeCache {
 public:
  CodeCache(const CodeCache& other);
  CodeCache& operator=(const CodeCache& other);
  CodeCache(CodeCache&& other) noexcept;
  CodeCache& operator=(CodeCache&& other) noexcept;
  ~CodeCache();

  // The number of property lines held, for a host that reports on its cache.
  std::size_t lineCount() const;

 private:
  friend class CodeBuilder;
  friend class CodeBuilderRun;
  friend struct CodeCacheInspector;  // tests

  CodeCache();
  // Made when first needed, and again after the cache was moved from.
  CodeCacheContents& contents();

  std::unique_ptr<CodeCacheContents> contents_;
};

}  // namespace tessary::code_editor
