#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "tessary/platform/token.h"
#include "tessary/platform/token_class.h"

namespace tessary::platform {

// Splits Swift source into classified tokens in one pass. Any bytes are accepted: unterminated
// strings and comments run to the end of their line or of the source, invalid UTF-8 is left
// plain. Tokens come in increasing order, never overlap, are never empty and never split a
// UTF-8 character. The classification rules are listed at the top of swift_tokenizer.cpp.
//
// The source must outlive the tokenizer and be shorter than 4 GiB (offsets are 32-bit).
class SwiftTokenizer {
 public:
  explicit SwiftTokenizer(std::string_view source);

  // The next token, or nothing once the source is used up.
  std::optional<Token> next();

  // Calls onToken(TokenClass, std::uint32_t begin, std::uint32_t end) for every token, in order,
  // without allocating.
  template <typename OnToken>
  static void visit(std::string_view source, OnToken&& onToken) {
    SwiftTokenizer tokenizer(source);
    std::array<Token, visitBatchSize> batch;
    std::size_t count = 0;
    do {
      count = tokenizer.nextTokens(batch.data(), batch.size());
      for (std::size_t i = 0; i < count; ++i) {
        onToken(batch[i].tokenClass, batch[i].begin, batch[i].end);
      }
    } while (count == batch.size());
  }

  static std::vector<Token> tokenize(std::string_view source);

 private:
  using Byte = unsigned char;

  enum class State : std::uint8_t { code, stringText, blockComment };

  // One open string literal. While the tokenizer is in code with frames open, it is inside the
  // interpolation of the innermost one.
  struct StringFrame {
    std::uint32_t hashCount;
    std::uint32_t parenDepth;
    bool multiline;
  };
  // Strings nested through interpolations deeper than this treat "\(" as a plain escape.
  static constexpr std::size_t maxStringNesting = 16;

  // Tokens are scanned in batches, so that the callback of visit is called inline rather than
  // once through a returned optional per token.
  static constexpr std::size_t visitBatchSize = 64;

  // Writes the next tokens to tokens[0, capacity) and returns how many there are: fewer than
  // `capacity` only once the source is used up.
  std::size_t nextTokens(Token* tokens, std::size_t capacity);

  Token* scanCode(Token* out, const Token* outEnd);
  Token scanStringText();
  Token scanBlockComment();

  void openString(const Byte* begin, std::uint32_t hashCount);
  Token closeString();
  void closeSingleLineStrings();

  // The end of the run from `p` of bytes with any of the traits in `traits` (which only ASCII
  // name characters have).
  const Byte* runEnd(const Byte* p, std::uint8_t traits) const;
  const Byte* identifierEnd(const Byte* head) const;
  const Byte* nameTailEnd(const Byte* from) const;
  const Byte* mixedNameTailEnd(const Byte* from) const;
  const Byte* escapedIdentifierEnd(const Byte* backtick) const;
  const Byte* numberEnd(const Byte* digit) const;
  const Byte* lineEnd(const Byte* from) const;
  bool hashesAt(const Byte* at, std::uint32_t count) const;
  bool startsOperand(const Byte* minus) const;

  Token makeToken(TokenClass tokenClass, const Byte* begin, const Byte* end) const {
    return Token{tokenClass, static_cast<std::uint32_t>(begin - source_),
                 static_cast<std::uint32_t>(end - source_)};
  }

  const Byte* source_;
  const Byte* cursor_;
  const Byte* end_;
  // Runs of ASCII name characters that start before this end at the source's last byte that is
  // not one at the latest, so they need not check for the end of the source.
  const Byte* unguardedEnd_;
  State state_ = State::code;
  const Byte* tokenBegin_ = nullptr;
  std::size_t commentDepth_ = 0;
  // Only frames_[0, frameCount_) are set: visit makes a tokenizer for every line of a snippet,
  // and clearing all of them each time would cost more than a short line's scan.
  std::array<StringFrame, maxStringNesting> frames_;
  std::size_t frameCount_ = 0;
  bool afterExpression_ = false;
};

}  // namespace tessary::platform
