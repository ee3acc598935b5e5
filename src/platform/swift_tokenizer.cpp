#include "tessary/platform/swift_tokenizer.h"

#include <unicode/uchar.h>

#include <limits>
#include <string_view>

#include "tessary/platform/fatal_error.h"
#include "utf8.h"

// How Swift source is classified. Text that no rule names is plain.
//
// - comment: "//" up to the line end (LF or CR, not included); "/*" up to its matching "*/",
//   nested as Swift nests them, or to the end of the source. One token per comment.
// - string: a literal from its opening delimiter ("", """, #", #""" ...) to its closing one.
//   Escapes stay inside the token. An interpolation splits it: the text up to and including
//   "\(" is one string token, the expression inside is classified as code, and the text from
//   the closing ")" on is the next string token. Raw strings need their hashes on the closing
//   quote and on the backslash ("\#("). A single-line literal left open ends before the line
//   end (abandoning any interpolation it was in); a multi-line one runs to the end of the
//   source.
// - keyword: Swift's reserved words and common declaration modifiers (let, var, func, return,
//   self, Self, true, false, nil, if, else, import, init, ...), also when followed by "(".
//   Attributes ("@objc") are keywords, "@" included.
// - preprocessing: "#" directly followed by a name: #if, #else, #endif, #selector, #available.
// - type: a name starting with an upper-case letter (CGSize, NSView, CGImage in "CGImage?"),
//   also when followed by "(" (NSImage(named:, CGRect(x:) and after a dot (Foo.Bar).
// - call: any other name directly followed by "(", also after a dot (addSublayer in
//   ".addSublayer(", "cgImage("). A name followed by a blank or a trailing closure is no call
//   (".flatMap {" is a property).
// - property: a name after a single "." that follows an expression (a name, a number, a string,
//   ")", "]", "}", or a "?" or "!" attached to one), even across blanks and line ends:
//   frame in "particlesLayer.frame", size and width in "$0.size.width", layer in
//   "host.layer?.addSublayer".
// - dotAccess: a name after a single "." that follows no expression: ".pi" in "(.pi", ".point"
//   and ".additive" after "= ", ".foo" after "case" or "return". Only the name is the token,
//   never the dot. After a dot a keyword is an ordinary name (".init(" is a call).
// - number: a literal starting with a digit: digits, underscores, one fraction, an exponent
//   with its sign, hex (also hex floats), octal and binary; letters and digits stuck to it
//   belong to it. A minus belongs to the number when it is a prefix operator: directly before
//   the digit, after a blank, a line end, "(", "[", "{", ",", ":", ";" or the start
//   ("= -0.05", "(-9.8"), but not in "x - 1" or "x-1".
// - Names in backticks are never keywords; otherwise they follow the name rules, backticks
//   included in the token. "$0" and other "$" names are plain variables.
// - Names may hold any non-ASCII letter, emoji included; Unicode blanks and Swift's operator
//   symbols end them. Invalid UTF-8 bytes are plain (or part of a string or comment).
// - "Upper-case" is Unicode's: "Éclair" is a type.

namespace tessary::platform {
namespace {

using Byte = unsigned char;

enum class CharKind : std::uint8_t {
  other,
  blank,
  lineEnd,
  identifierHead,
  digit,
  dollar,
  backtick,
  slash,
  quote,
  hash,
  dot,
  minus,
  at,
  openParen,
  closeParen,
  closer,
  postfix,
  nonAscii,
};

constexpr std::array<CharKind, 256> makeCharKinds() {
  std::array<CharKind, 256> kinds{};
  for (int c = 0; c < 256; ++c) {
    CharKind kind = CharKind::other;
    if (c >= 0x80) {
      kind = CharKind::nonAscii;
    } else if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_') {
      kind = CharKind::identifierHead;
    } else if (c >= '0' && c <= '9') {
      kind = CharKind::digit;
    } else {
      switch (c) {
        case ' ':
        case '\t':
        case '\v':
        case '\f':
          kind = CharKind::blank;
          break;
        case '\n':
        case '\r':
          kind = CharKind::lineEnd;
          break;
        case '$':
          kind = CharKind::dollar;
          break;
        case '`':
          kind = CharKind::backtick;
          break;
        case '/':
          kind = CharKind::slash;
          break;
        case '"':
          kind = CharKind::quote;
          break;
        case '#':
          kind = CharKind::hash;
          break;
        case '.':
          kind = CharKind::dot;
          break;
        case '-':
          kind = CharKind::minus;
          break;
        case '@':
          kind = CharKind::at;
          break;
        case '(':
          kind = CharKind::openParen;
          break;
        case ')':
          kind = CharKind::closeParen;
          break;
        case ']':
        case '}':
          kind = CharKind::closer;
          break;
        case '?':
        case '!':
          kind = CharKind::postfix;
          break;
        default:
          break;
      }
    }
    kinds[static_cast<std::size_t>(c)] = kind;
  }
  return kinds;
}

constexpr std::array<CharKind, 256> charKinds = makeCharKinds();

constexpr CharKind kindOf(Byte c) {
  return charKinds[c];
}

constexpr bool isBlankOrOther(CharKind kind) {
  return kind == CharKind::blank || kind == CharKind::other;
}

constexpr bool isDigit(Byte c) {
  return c >= '0' && c <= '9';
}

constexpr bool isHexDigit(Byte c) {
  return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// What a byte may be inside a name or a number literal, as bits, so that the scanning loops test
// one table entry per byte.
enum ByteTrait : std::uint8_t {
  nameChar = 1,          // an ASCII letter, digit or "_"
  decimalDigitPart = 2,  // a digit or "_"
  hexDigitPart = 4,      // a hex digit or "_"
};

constexpr std::array<std::uint8_t, 256> byteTraits = [] {
  std::array<std::uint8_t, 256> traits{};
  for (int c = 0; c < 256; ++c) {
    const auto byte = static_cast<Byte>(c);
    std::uint8_t trait = 0;
    if (kindOf(byte) == CharKind::identifierHead || kindOf(byte) == CharKind::digit) {
      trait |= nameChar;
    }
    if (isDigit(byte) || byte == '_') trait |= decimalDigitPart;
    if (isHexDigit(byte) || byte == '_') trait |= hexDigitPart;
    traits[byte] = trait;
  }
  return traits;
}();

constexpr bool isAsciiIdentifierChar(Byte c) {
  return (byteTraits[c] & nameChar) != 0;
}

constexpr bool isLineEnd(Byte c) {
  return c == '\n' || c == '\r';
}

// Bytes at which text inside a string literal may end or change meaning.
constexpr bool isStringSpecial(Byte c) {
  return c == '"' || c == '\\' || isLineEnd(c);
}

// The length of the well-formed UTF-8 sequence at `p` and its scalar, or 0 for an ill-formed
// one (overlong forms, surrogates, values above U+10FFFF, truncated sequences).
int decodeScalar(const Byte* p, const Byte* end, char32_t& scalar) {
  const std::string_view text(reinterpret_cast<const char*>(p), static_cast<std::size_t>(end - p));
  const utf8::Sequence sequence = utf8::sequenceAt(text, 0);
  if (!sequence.valid) return 0;
  scalar = utf8::decode(text, 0, sequence.length);
  return static_cast<int>(sequence.length);
}

struct ScalarRange {
  char32_t first;
  char32_t last;
};

// Non-ASCII scalars that cannot be part of a name: Unicode blanks and line separators, the BOM,
// C1 controls, and the symbols Swift reserves for operators. Sorted.
constexpr ScalarRange nonNameScalars[] = {
    {0x80, 0xA7},     {0xA9, 0xA9},     {0xAB, 0xAC},     {0xAE, 0xAE},     {0xB0, 0xB1},
    {0xB6, 0xB6},     {0xBB, 0xBB},     {0xBF, 0xBF},     {0xD7, 0xD7},     {0xF7, 0xF7},
    {0x1680, 0x1680}, {0x2000, 0x200A}, {0x2016, 0x2017}, {0x2020, 0x2029}, {0x202F, 0x203E},
    {0x2041, 0x2053}, {0x2055, 0x205F}, {0x2190, 0x23FF}, {0x2500, 0x2775}, {0x2794, 0x2BFF},
    {0x2E00, 0x2E7F}, {0x3000, 0x3003}, {0x3008, 0x3020}, {0x3030, 0x3030}, {0xFEFF, 0xFEFF},
};

bool isNameScalar(char32_t scalar) {
  for (const ScalarRange& range : nonNameScalars) {
    if (scalar < range.first) return true;
    if (scalar <= range.last) return false;
  }
  return true;
}

// The length of the non-ASCII name character at `p`, or 0 if there is none.
int nameScalarLength(const Byte* p, const Byte* end) {
  char32_t scalar = 0;
  const int length = decodeScalar(p, end, scalar);
  return length > 0 && isNameScalar(scalar) ? length : 0;
}

// Kept out of line, as is the keyword table's probe, so that classifying the usual ASCII name
// stays small enough to be inlined into the scanning loop.
[[gnu::noinline]] bool startsWithUpperCaseScalar(const Byte* name, const Byte* end) {
  char32_t scalar = 0;
  return decodeScalar(name, end, scalar) > 0 && u_isupper(static_cast<UChar32>(scalar));
}

bool startsUpperCase(const Byte* name, const Byte* end) {
  if (name[0] < 0x80) return name[0] >= 'A' && name[0] <= 'Z';
  return startsWithUpperCaseScalar(name, end);
}

enum class KeywordKind : std::uint8_t { none, keyword, expression };

// Keywords that stand for a value, after which a "." is a member access.
constexpr std::string_view expressionKeywords[] = {"self", "Self", "super", "true", "false", "nil"};

constexpr std::string_view otherKeywords[] = {"as",
                                              "do",
                                              "if",
                                              "in",
                                              "is",
                                              "Any",
                                              "any",
                                              "for",
                                              "let",
                                              "try",
                                              "var",
                                              "case",
                                              "else",
                                              "enum",
                                              "func",
                                              "init",
                                              "lazy",
                                              "some",
                                              "weak",
                                              "async",
                                              "await",
                                              "break",
                                              "catch",
                                              "class",
                                              "defer",
                                              "final",
                                              "guard",
                                              "throw",
                                              "where",
                                              "while",
                                              "deinit",
                                              "import",
                                              "inout",
                                              "public",
                                              "repeat",
                                              "return",
                                              "static",
                                              "struct",
                                              "switch",
                                              "throws",
                                              "default",
                                              "dynamic",
                                              "private",
                                              "unowned",
                                              "continue",
                                              "indirect",
                                              "internal",
                                              "mutating",
                                              "operator",
                                              "override",
                                              "protocol",
                                              "required",
                                              "rethrows",
                                              "extension",
                                              "subscript",
                                              "typealias",
                                              "convenience",
                                              "fallthrough",
                                              "fileprivate",
                                              "nonmutating",
                                              "associatedtype",
                                              "precedencegroup"};

// Keywords live in an open-addressing hash table keyed by length and first and last byte, so
// the usual name misses after one probe without comparing text.
struct KeywordSlot {
  std::string_view word;
  KeywordKind kind = KeywordKind::none;
};

constexpr std::size_t keywordSlotCount = 256;

constexpr std::size_t keywordHash(Byte first, Byte last, std::size_t length) {
  return (first * 31u + last * 7u + length * 17u) % keywordSlotCount;
}

constexpr std::array<KeywordSlot, keywordSlotCount> makeKeywordSlots() {
  std::array<KeywordSlot, keywordSlotCount> slots{};
  const auto insert = [&slots](std::string_view word, KeywordKind kind) {
    std::size_t slot =
        keywordHash(static_cast<Byte>(word.front()), static_cast<Byte>(word.back()), word.size());
    while (slots[slot].kind != KeywordKind::none) slot = (slot + 1) % keywordSlotCount;
    slots[slot] = KeywordSlot{word, kind};
  };
  for (const std::string_view word : expressionKeywords) insert(word, KeywordKind::expression);
  for (const std::string_view word : otherKeywords) insert(word, KeywordKind::keyword);
  return slots;
}

constexpr std::array<KeywordSlot, keywordSlotCount> keywordSlots = makeKeywordSlots();

// For each first byte, the lengths of the keywords starting with it as bits, so that most names
// are ruled out by one look-up.
constexpr std::array<std::uint32_t, 256> keywordLengthsByFirstByte = [] {
  std::array<std::uint32_t, 256> lengths{};
  for (const KeywordSlot& slot : keywordSlots) {
    if (slot.kind == KeywordKind::none) continue;
    lengths[static_cast<Byte>(slot.word.front())] |= std::uint32_t{1} << slot.word.size();
  }
  return lengths;
}();

[[gnu::noinline]] KeywordKind keywordSlotKind(const Byte* name, std::size_t length) {
  std::size_t slot = keywordHash(name[0], name[length - 1], length);
  for (; keywordSlots[slot].kind != KeywordKind::none; slot = (slot + 1) % keywordSlotCount) {
    const std::string_view word = keywordSlots[slot].word;
    if (word.size() != length) continue;
    std::size_t i = 0;
    while (i < length && static_cast<Byte>(word[i]) == name[i]) ++i;
    if (i == length) return keywordSlots[slot].kind;
  }
  return KeywordKind::none;
}

KeywordKind keywordKind(const Byte* name, std::size_t length) {
  if (length >= 32 || (keywordLengthsByFirstByte[name[0]] >> length & 1u) == 0) {
    return KeywordKind::none;
  }
  return keywordSlotKind(name, length);
}

enum class NamePosition : std::uint8_t { free, member, implicitMember };

struct NameClass {
  // Nothing for a plain variable.
  std::optional<TokenClass> tokenClass;
  // Whether a "." after the name is a member access.
  bool continuesExpression = true;
};

// The class of the name [begin, end) (backticks included when `escaped`) in a source ending at
// `sourceEnd`.
NameClass nameClass(const Byte* begin, const Byte* end, const Byte* sourceEnd,
                    NamePosition position, bool escaped) {
  const Byte* name = escaped ? begin + 1 : begin;
  if (position == NamePosition::free && !escaped) {
    const KeywordKind kind = keywordKind(name, static_cast<std::size_t>(end - begin));
    if (kind != KeywordKind::none) return {TokenClass::keyword, kind == KeywordKind::expression};
  }
  if (startsUpperCase(name, sourceEnd)) return {TokenClass::type};
  if (end < sourceEnd && *end == '(') return {TokenClass::call};
  switch (position) {
    case NamePosition::member:
      return {TokenClass::property};
    case NamePosition::implicitMember:
      return {TokenClass::dotAccess};
    case NamePosition::free:
      break;
  }
  return {};
}

}  // namespace

SwiftTokenizer::SwiftTokenizer(std::string_view source)
    : source_(reinterpret_cast<const Byte*>(source.data())),
      cursor_(source_),
      end_(source_ + source.size()),
      unguardedEnd_(end_) {
  while (unguardedEnd_ > source_ && isAsciiIdentifierChar(unguardedEnd_[-1])) --unguardedEnd_;
  if (source.size() > std::numeric_limits<std::uint32_t>::max()) {
    fatalError("Source too large to tokenize");
  }
}

std::vector<Token> SwiftTokenizer::tokenize(std::string_view source) {
  std::vector<Token> tokens;
  tokens.reserve(source.size() / 8);
  visit(source, [&tokens](TokenClass tokenClass, std::uint32_t begin, std::uint32_t end) {
    tokens.push_back(Token{tokenClass, begin, end});
  });
  return tokens;
}

std::optional<Token> SwiftTokenizer::next() {
  Token token;
  if (nextTokens(&token, 1) == 0) return std::nullopt;
  return token;
}

std::size_t SwiftTokenizer::nextTokens(Token* tokens, std::size_t capacity) {
  Token* out = tokens;
  const Token* const outEnd = tokens + capacity;
  while (out != outEnd) {
    switch (state_) {
      case State::code:
        if (cursor_ == end_) return static_cast<std::size_t>(out - tokens);
        out = scanCode(out, outEnd);
        break;
      case State::stringText:
        *out++ = scanStringText();
        break;
      case State::blockComment:
        *out++ = scanBlockComment();
        break;
    }
  }
  return capacity;
}

// The scanning helpers are defined inline: the library is built position-independent, and there
// GCC does not inline member functions with external linkage into the scanning loop.

// Scans code into `out` until it is full, the source ends, or a string or a block comment starts
// (then it leaves the new state to the caller). Returns the end of the tokens written. The cursor
// and whether an expression precedes it live in locals while scanning.
inline Token* SwiftTokenizer::scanCode(Token* out, const Token* const outEnd) {
  const Byte* p = cursor_;
  bool afterExpression = afterExpression_;
  const auto leave = [&](const Byte* cursor) {
    cursor_ = cursor;
    afterExpression_ = afterExpression;
    return out;
  };
  while (p < end_ && out != outEnd) {
    const Byte* const start = p;
    // Cases that find a name break out of the switch to have it classified below; the others
    // continue with the next character.
    const Byte* nameBegin = start;
    const Byte* nameEnd = nullptr;
    NamePosition position = NamePosition::free;
    bool escaped = false;
    switch (kindOf(*start)) {
      case CharKind::blank:
      case CharKind::other:
        // Blanks and other symbols, such as " = " or ", ", in one step; a symbol ends any
        // expression, a blank leaves it be.
        do {
          afterExpression = afterExpression && kindOf(*p) == CharKind::blank;
          ++p;
        } while (p < end_ && isBlankOrOther(kindOf(*p)));
        continue;
      case CharKind::lineEnd:
        ++p;
        if (frameCount_ > 0) closeSingleLineStrings();
        continue;
      case CharKind::identifierHead:
        nameEnd = nameTailEnd(start + 1);
        break;
      case CharKind::dollar:
        nameEnd = runEnd(start + 1, nameChar);
        break;
      case CharKind::nonAscii:
        if (nameScalarLength(start, end_) > 0) {
          nameEnd = identifierEnd(start);
          break;
        } else {
          char32_t scalar = 0;
          const int length = decodeScalar(start, end_, scalar);
          p += length > 0 ? length : 1;
          afterExpression = false;
          continue;
        }
      case CharKind::backtick:
        nameEnd = escapedIdentifierEnd(start);
        if (nameEnd != nullptr) {
          escaped = true;
          break;
        }
        ++p;
        afterExpression = false;
        continue;
      case CharKind::digit:
        p = numberEnd(start);
        afterExpression = true;
        *out++ = makeToken(TokenClass::number, start, p);
        continue;
      case CharKind::minus:
        if (start + 1 < end_ && isDigit(start[1]) && startsOperand(start)) {
          p = numberEnd(start + 1);
          afterExpression = true;
          *out++ = makeToken(TokenClass::number, start, p);
          continue;
        }
        ++p;
        afterExpression = false;
        continue;
      case CharKind::slash:
        if (start + 1 < end_ && start[1] == '/') {
          p = lineEnd(start + 2);
          *out++ = makeToken(TokenClass::comment, start, p);
          continue;
        }
        if (start + 1 < end_ && start[1] == '*') {
          tokenBegin_ = start;
          commentDepth_ = 1;
          state_ = State::blockComment;
          return leave(start + 2);
        }
        ++p;
        afterExpression = false;
        continue;
      case CharKind::quote:
        leave(start);
        openString(start, 0);
        return out;
      case CharKind::hash: {
        const Byte* afterHashes = start + 1;
        while (afterHashes < end_ && *afterHashes == '#') ++afterHashes;
        if (afterHashes < end_ && *afterHashes == '"') {
          leave(start);
          openString(start, static_cast<std::uint32_t>(afterHashes - start));
          return out;
        }
        afterExpression = false;
        p = afterHashes;
        if (afterHashes == start + 1) {
          if (const Byte* end = identifierEnd(afterHashes)) {
            p = end;
            *out++ = makeToken(TokenClass::preprocessing, start, end);
          }
        }
        continue;
      }
      case CharKind::at:
        afterExpression = false;
        ++p;
        if (const Byte* end = identifierEnd(start + 1)) {
          p = end;
          *out++ = makeToken(TokenClass::keyword, start, end);
        }
        continue;
      case CharKind::dot: {
        const Byte* const afterDot = start + 1;
        position = afterExpression ? NamePosition::member : NamePosition::implicitMember;
        nameBegin = afterDot;
        // The usual member: one dot, then an ASCII name.
        if (afterDot < end_ && kindOf(*afterDot) == CharKind::identifierHead) {
          nameEnd = nameTailEnd(afterDot + 1);
          break;
        }
        const Byte* afterDots = afterDot;
        while (afterDots < end_ && *afterDots == '.') ++afterDots;
        if (afterDots == afterDot && afterDots < end_) {
          escaped = *afterDots == '`';
          nameEnd = escaped ? escapedIdentifierEnd(afterDots) : identifierEnd(afterDots);
          if (nameEnd != nullptr) break;
        }
        p = afterDots;
        afterExpression = false;
        continue;
      }
      case CharKind::openParen:
        if (frameCount_ > 0) ++frames_[frameCount_ - 1].parenDepth;
        ++p;
        afterExpression = false;
        continue;
      case CharKind::closeParen:
        if (frameCount_ > 0) {
          StringFrame& frame = frames_[frameCount_ - 1];
          if (frame.parenDepth == 0) {
            tokenBegin_ = start;
            state_ = State::stringText;
            return leave(start + 1);
          }
          --frame.parenDepth;
        }
        ++p;
        afterExpression = true;
        continue;
      case CharKind::closer:
        ++p;
        afterExpression = true;
        continue;
      case CharKind::postfix:
        // "?" and "!" keep an expression going only when attached to it: "layer?.x", not
        // "a ? .x : .y".
        afterExpression = afterExpression && start > source_ &&
                          kindOf(start[-1]) != CharKind::blank &&
                          kindOf(start[-1]) != CharKind::lineEnd;
        ++p;
        continue;
    }
    p = nameEnd;
    const NameClass found = nameClass(nameBegin, nameEnd, end_, position, escaped);
    afterExpression = found.continuesExpression;
    if (found.tokenClass) *out++ = makeToken(*found.tokenClass, nameBegin, nameEnd);
  }
  return leave(p);
}

Token SwiftTokenizer::scanStringText() {
  StringFrame& frame = frames_[frameCount_ - 1];
  while (cursor_ < end_) {
    while (cursor_ < end_ && !isStringSpecial(*cursor_)) ++cursor_;
    if (cursor_ == end_) break;
    const Byte c = *cursor_;
    if (c == '"') {
      const Byte* afterQuotes = cursor_ + 1;
      if (frame.multiline) {
        if (end_ - afterQuotes < 2 || afterQuotes[0] != '"' || afterQuotes[1] != '"') {
          ++cursor_;
          continue;
        }
        afterQuotes += 2;
      }
      if (hashesAt(afterQuotes, frame.hashCount)) {
        cursor_ = afterQuotes + frame.hashCount;
        return closeString();
      }
      ++cursor_;
    } else if (c == '\\') {
      // In a raw string only a backslash followed by the string's hashes starts an escape.
      if (!hashesAt(cursor_ + 1, frame.hashCount)) {
        ++cursor_;
        continue;
      }
      const Byte* escaped = cursor_ + 1 + frame.hashCount;
      if (escaped == end_ || (isLineEnd(*escaped) && !frame.multiline)) {
        cursor_ = escaped;
      } else if (*escaped == '(' && frameCount_ < maxStringNesting) {
        cursor_ = escaped + 1;
        frame.parenDepth = 0;
        state_ = State::code;
        afterExpression_ = false;
        return makeToken(TokenClass::string, tokenBegin_, cursor_);
      } else {
        cursor_ = escaped + 1;
      }
    } else if (frame.multiline) {
      ++cursor_;
    } else {
      return closeString();
    }
  }
  return closeString();
}

Token SwiftTokenizer::scanBlockComment() {
  while (cursor_ < end_) {
    const Byte c = *cursor_;
    const bool pair = cursor_ + 1 < end_;
    if (c == '/' && pair && cursor_[1] == '*') {
      ++commentDepth_;
      cursor_ += 2;
    } else if (c == '*' && pair && cursor_[1] == '/') {
      cursor_ += 2;
      if (--commentDepth_ == 0) break;
    } else {
      ++cursor_;
    }
  }
  state_ = State::code;
  return makeToken(TokenClass::comment, tokenBegin_, cursor_);
}

// `begin` is the first "#" of a raw string or its quote.
void SwiftTokenizer::openString(const Byte* begin, std::uint32_t hashCount) {
  const Byte* quote = begin + hashCount;
  const bool multiline = end_ - quote >= 3 && quote[1] == '"' && quote[2] == '"';
  frames_[frameCount_++] = StringFrame{hashCount, 0, multiline};
  tokenBegin_ = begin;
  cursor_ = quote + (multiline ? 3 : 1);
  state_ = State::stringText;
}

Token SwiftTokenizer::closeString() {
  --frameCount_;
  state_ = State::code;
  afterExpression_ = true;
  return makeToken(TokenClass::string, tokenBegin_, cursor_);
}

// A line end inside the interpolation of a single-line string leaves that string unterminated.
inline void SwiftTokenizer::closeSingleLineStrings() {
  while (frameCount_ > 0 && !frames_[frameCount_ - 1].multiline) --frameCount_;
}

// The end of the name starting at `head`, or nullptr if no name starts there.
inline const SwiftTokenizer::Byte* SwiftTokenizer::identifierEnd(const Byte* head) const {
  if (head == end_ || isDigit(*head)) return nullptr;
  const Byte* const end = nameTailEnd(head);
  return end == head ? nullptr : end;
}

inline const SwiftTokenizer::Byte* SwiftTokenizer::runEnd(const Byte* p,
                                                          std::uint8_t traits) const {
  if (p < unguardedEnd_) {
    while ((byteTraits[*p] & traits) != 0) ++p;
    return p;
  }
  while (p < end_ && (byteTraits[*p] & traits) != 0) ++p;
  return p;
}

// The end of the name characters from `from` on.
inline const SwiftTokenizer::Byte* SwiftTokenizer::nameTailEnd(const Byte* from) const {
  const Byte* const asciiEnd = runEnd(from, nameChar);
  return asciiEnd == end_ || *asciiEnd < 0x80 ? asciiEnd : mixedNameTailEnd(asciiEnd);
}

// The end of the name characters from the non-ASCII byte at `from` on.
const SwiftTokenizer::Byte* SwiftTokenizer::mixedNameTailEnd(const Byte* from) const {
  const Byte* p = from;
  for (;;) {
    const int length = nameScalarLength(p, end_);
    if (length == 0) return p;
    p = runEnd(p + length, nameChar);
    if (p == end_ || *p < 0x80) return p;
  }
}

const SwiftTokenizer::Byte* SwiftTokenizer::escapedIdentifierEnd(const Byte* backtick) const {
  const Byte* end = identifierEnd(backtick + 1);
  return end != nullptr && end < end_ && *end == '`' ? end + 1 : nullptr;
}

// The end of the number literal whose first digit is at `digit`.
inline const SwiftTokenizer::Byte* SwiftTokenizer::numberEnd(const Byte* digit) const {
  const Byte* p = digit + 1;
  const auto exponentEnd = [this](const Byte* marker) {
    const Byte* afterMarker = marker + 1;
    if (end_ - afterMarker >= 2 && (*afterMarker == '+' || *afterMarker == '-') &&
        isDigit(afterMarker[1])) {
      ++afterMarker;
    }
    return afterMarker;
  };
  if (*digit == '0' && p < end_ && (*p == 'x' || *p == 'X')) {
    ++p;
    p = runEnd(p, hexDigitPart);
    // A hex fraction needs its "p" exponent; without one the "." is a member access.
    if (end_ - p >= 2 && *p == '.' && isHexDigit(p[1])) {
      const Byte* const fraction = runEnd(p + 1, hexDigitPart);
      if (fraction < end_ && (*fraction == 'p' || *fraction == 'P')) p = fraction;
    }
    if (p < end_ && (*p == 'p' || *p == 'P')) p = exponentEnd(p);
  } else {
    p = runEnd(p, decimalDigitPart);
    if (end_ - p >= 2 && *p == '.' && isDigit(p[1])) p = runEnd(p + 2, decimalDigitPart);
    if (p < end_ && (*p == 'e' || *p == 'E')) p = exponentEnd(p);
  }
  return runEnd(p, nameChar);
}

inline const SwiftTokenizer::Byte* SwiftTokenizer::lineEnd(const Byte* from) const {
  while (from < end_ && !isLineEnd(*from)) ++from;
  return from;
}

bool SwiftTokenizer::hashesAt(const Byte* at, std::uint32_t count) const {
  if (static_cast<std::size_t>(end_ - at) < count) return false;
  for (std::uint32_t i = 0; i < count; ++i) {
    if (at[i] != '#') return false;
  }
  return true;
}

// Whether the minus at `minus` is a prefix operator, by Swift's rule of the blank before it.
inline bool SwiftTokenizer::startsOperand(const Byte* minus) const {
  if (minus == source_) return true;
  const Byte before = minus[-1];
  switch (kindOf(before)) {
    case CharKind::blank:
    case CharKind::lineEnd:
    case CharKind::openParen:
      return true;
    default:
      return before == '[' || before == '{' || before == ',' || before == ':' || before == ';';
  }
}

}  // namespace tessary::platform
