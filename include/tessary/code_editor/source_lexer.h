#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

#include "tessary/code_editor/source_token.h"

namespace tessary::code_editor {

// Splits Swift or Objective-C source into the tokens the importer reads: names (with `#` or `@`
// directives and `$0` closure arguments), numbers, decoded string literals (Swift's and
// Objective-C's `@"…"`) and operators. Any bytes are accepted; an unterminated string or comment
// runs to the end of its line or of the source. One pass, no recursion.
//
// The source must be shorter than 4 GiB (offsets are 32-bit).
class SourceLexer {
 public:
  explicit SourceLexer(std::string_view source);

  const std::vector<SourceToken>& tokens() const { return tokens_; }
  // For each token, the index of the bracket that closes or opens it when it is one of
  // ( ) [ ] { } and has a partner; the token's own index otherwise.
  const std::vector<std::uint32_t>& partners() const { return partners_; }

  // The 1-based line and column (in characters) of a byte offset.
  std::pair<std::size_t, std::size_t> lineAndColumn(std::uint32_t offset) const;

 private:
  void scan();
  void matchBrackets();

  std::string_view source_;
  std::vector<SourceToken> tokens_;
  std::vector<std::uint32_t> partners_;
  std::vector<std::uint32_t> lineStarts_;
  // For each byte offset, how many UTF-8 continuation bytes stand before it.
  std::vector<std::uint32_t> continuationsBefore_;
};

}  // namespace tessary::code_editor
