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
    while (const std::optional<Token> token = tokenizer.next()) {
      onToken(token->tokenClass, token->begin, token->end);
    }
  }

  static std::vector<Token> tokenize(std::string_view source);

 private:
  using Byte = unsigned char;

  enum class State : std::uint8_t { code, stringText, blockComment };
  enum class NamePosition : std::uint8_t { free, member, implicitMember };

  // One open string literal. While the tokenizer is in code with frames open, it is inside the
  // interpolation of the innermost one.
  struct StringFrame {
    std::uint32_t hashCount = 0;
    std::uint32_t parenDepth = 0;
    bool multiline = false;
  };
  // Strings nested through interpolations deeper than this treat "\(" as a plain escape.
  static constexpr std::size_t maxStringNesting = 16;

  std::optional<Token> scanCode();
  Token scanStringText();
  Token scanBlockComment();

  std::optional<Token> nameToken(const Byte* begin, const Byte* end, NamePosition position,
                                 bool escaped);
  void openString(const Byte* begin, std::uint32_t hashCount);
  Token closeString();
  void closeSingleLineStrings();

  const Byte* identifierEnd(const Byte* head) const;
  const Byte* escapedIdentifierEnd(const Byte* backtick) const;
  const Byte* nameEnd(const Byte* head, bool& escaped) const;
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
  State state_ = State::code;
  const Byte* tokenBegin_ = nullptr;
  std::size_t commentDepth_ = 0;
  std::array<StringFrame, maxStringNesting> frames_{};
  std::size_t frameCount_ = 0;
  bool afterExpression_ = false;
};

}  // namespace tessary::platform
