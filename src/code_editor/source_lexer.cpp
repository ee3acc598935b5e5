#include "tessary/code_editor/source_lexer.h"

#include <algorithm>
#include <cstdlib>
#include <string>

namespace tessary::code_editor {

namespace {

using Kind = SourceToken::Kind;

bool isNameStart(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '$' || c >= 0x80;
}

bool isNameByte(unsigned char c) {
  return isNameStart(c) || (c >= '0' && c <= '9');
}

bool isDigit(unsigned char c) {
  return c >= '0' && c <= '9';
}

void appendUtf8(std::string& out, unsigned long code) {
  if (code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) code = 0xFFFD;
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// Operators of more than one character, longest first where one begins another.
constexpr std::string_view kOperators[] = {
    "...", "..<", "->", "?.", "??", "==", "!=", "<=", ">=", "&&",
    "||",  "+=",  "-=", "*=", "/=", "++", "--", "@[", "@(", "@{"};

}  // namespace

SourceLexer::SourceLexer(std::string_view source) : source_(source) {
  continuationsBefore_.reserve(source.size() + 1);
  std::uint32_t continuations = 0;
  for (const char c : source) {
    continuationsBefore_.push_back(continuations);
    continuations += (static_cast<unsigned char>(c) & 0xC0) == 0x80 ? 1 : 0;
  }
  continuationsBefore_.push_back(continuations);
  scan();
  matchBrackets();
}

std::pair<std::size_t, std::size_t> SourceLexer::lineAndColumn(std::uint32_t offset) const {
  offset = std::min<std::uint32_t>(offset, static_cast<std::uint32_t>(source_.size()));
  const auto after = std::upper_bound(lineStarts_.begin(), lineStarts_.end(), offset);
  const std::size_t line = static_cast<std::size_t>(after - lineStarts_.begin());
  const std::uint32_t start = lineStarts_[line - 1];
  // Characters, not bytes: the continuation bytes of UTF-8 sequences do not count.
  const std::size_t column =
      offset - start - (continuationsBefore_[offset] - continuationsBefore_[start]) + 1;
  return {line, column};
}

void SourceLexer::scan() {
  const std::size_t size = source_.size();
  lineStarts_.push_back(0);
  bool lineBreak = true;
  std::size_t at = 0;
  const auto peek = [&](std::size_t ahead) -> unsigned char {
    return at + ahead < size ? static_cast<unsigned char>(source_[at + ahead]) : 0;
  };
  const auto newLineAt = [&](std::size_t position) {
    lineStarts_.push_back(static_cast<std::uint32_t>(position + 1));
  };
  // Objective-C's `.5`, where no expression stands before the dot to take a member of.
  const auto startsOperand = [&] {
    if (tokens_.empty()) return true;
    const SourceToken& last = tokens_.back();
    return last.kind == Kind::punctuation && last.text != ")" && last.text != "]";
  };
  const auto push = [&](Kind kind, std::size_t begin, std::string text) {
    SourceToken token;
    token.kind = kind;
    token.lineBreakBefore = lineBreak;
    token.begin = static_cast<std::uint32_t>(begin);
    token.end = static_cast<std::uint32_t>(at);
    token.text = std::move(text);
    tokens_.push_back(std::move(token));
    lineBreak = false;
  };
  // Reads a string literal from its opening quote at `at`; `hashes` is the number of `#` of a
  // Swift raw string before it.
  const auto scanString = [&](std::size_t begin, std::size_t hashes) {
    const bool multiline = source_.substr(at, 3) == "\"\"\"";
    at += multiline ? 3 : 1;
    std::string value;
    std::vector<std::string> pieces;
    bool interpolated = false;
    const std::string closing = std::string(multiline ? 3 : 1, '"') + std::string(hashes, '#');
    while (at < size) {
      const char c = source_[at];
      if (c == '\n') {
        // A single-line string ends at its line's end, which the main loop counts.
        if (!multiline) break;
        newLineAt(at);
      }
      if (source_.compare(at, closing.size(), closing) == 0) {
        at += closing.size();
        break;
      }
      const bool escape =
          c == '\\' && source_.compare(at + 1, hashes, std::string(hashes, '#')) == 0;
      if (!escape) {
        value += c;
        ++at;
        continue;
      }
      at += 1 + hashes;
      const char kind = at < size ? source_[at] : '\0';
      ++at;
      switch (kind) {
        case 'n':
          value += '\n';
          break;
        case 't':
          value += '\t';
          break;
        case 'r':
          value += '\r';
          break;
        case '0':
          value += '\0';
          break;
        case 'u': {
          const bool braced = peek(0) == '{';
          const std::size_t from = at + (braced ? 1 : 0);
          std::size_t to = from;
          while (to < size && to - from < 8 &&
                 std::isxdigit(static_cast<unsigned char>(source_[to])))
            ++to;
          appendUtf8(value, std::strtoul(std::string(source_.substr(from, to - from)).c_str(),
                                         nullptr, 16));
          at = to + (braced && to < size && source_[to] == '}' ? 1 : 0);
          break;
        }
        case '(': {
          interpolated = true;
          const std::size_t from = at;
          for (int depth = 1; at < size && depth > 0; ++at) {
            if (source_[at] == '\n') {
              if (!multiline) break;
              newLineAt(at);
            }
            depth += source_[at] == '(' ? 1 : source_[at] == ')' ? -1 : 0;
          }
          pieces.push_back(std::move(value));
          value.clear();
          pieces.emplace_back(source_.substr(from, at > from ? at - from - 1 : 0));
          break;
        }
        case '\n':
          newLineAt(at - 1);
          break;
        default:
          value += kind;
      }
    }
    if (interpolated) pieces.push_back(value);
    push(Kind::string, begin, std::move(value));
    tokens_.back().interpolated = interpolated;
    tokens_.back().pieces = std::move(pieces);
  };

  while (at < size) {
    const unsigned char c = peek(0);
    const std::size_t begin = at;
    if (c == '\n') {
      newLineAt(at);
      lineBreak = true;
      ++at;
    } else if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
      ++at;
    } else if (c == '/' && peek(1) == '/') {
      while (at < size && source_[at] != '\n') ++at;
    } else if (c == '/' && peek(1) == '*') {
      at += 2;
      for (int depth = 1; at < size && depth > 0;) {
        if (source_[at] == '\n') newLineAt(at);
        if (source_.compare(at, 2, "/*") == 0) {
          ++depth;
          at += 2;
        } else if (source_.compare(at, 2, "*/") == 0) {
          --depth;
          at += 2;
        } else {
          ++at;
        }
      }
    } else if (c == '"') {
      scanString(begin, 0);
    } else if (c == '@' && peek(1) == '"') {
      ++at;
      scanString(begin, 0);
    } else if (c == '#' && (peek(1) == '"' || peek(1) == '#')) {
      std::size_t hashes = 0;
      while (peek(0) == '#') {
        ++hashes;
        ++at;
      }
      if (peek(0) == '"') {
        scanString(begin, hashes);
      } else {
        push(Kind::punctuation, begin, std::string(source_.substr(begin, at - begin)));
      }
    } else if (c == '\'') {
      // An Objective-C character literal: its code is its value.
      ++at;
      const unsigned char character = peek(0);
      while (at < size && source_[at] != '\'' && source_[at] != '\n') ++at;
      if (peek(0) == '\'') ++at;
      push(Kind::number, begin, std::to_string(static_cast<int>(character)));
    } else if (c == '`') {
      ++at;
      while (at < size && source_[at] != '`' && source_[at] != '\n') ++at;
      std::string name(source_.substr(begin + 1, at - begin - 1));
      if (peek(0) == '`') ++at;
      push(Kind::identifier, begin, std::move(name));
    } else if (isNameStart(c) || ((c == '#' || c == '@') && isNameStart(peek(1)))) {
      ++at;
      while (at < size && isNameByte(static_cast<unsigned char>(source_[at]))) ++at;
      push(Kind::identifier, begin, std::string(source_.substr(begin, at - begin)));
    } else if (isDigit(c) || (c == '.' && isDigit(peek(1)) && startsOperand())) {
      const bool hex = c == '0' && (peek(1) == 'x' || peek(1) == 'X');
      at += hex ? 2 : 0;
      std::string digits(source_.substr(begin, at - begin));
      while (at < size) {
        const unsigned char d = peek(0);
        const bool exponent = hex ? (d == 'p' || d == 'P') : (d == 'e' || d == 'E');
        if (d == '_') {
          ++at;
        } else if (exponent &&
                   (isDigit(peek(1)) || ((peek(1) == '-' || peek(1) == '+') && isDigit(peek(2))))) {
          digits += static_cast<char>(d);
          digits += static_cast<char>(peek(1));
          at += 2;
        } else if (d == '.' && (hex ? std::isxdigit(peek(1)) : isDigit(peek(1)))) {
          digits += '.';
          ++at;
        } else if (hex ? std::isxdigit(d) : isDigit(d)) {
          digits += static_cast<char>(d);
          ++at;
        } else {
          break;
        }
      }
      // Objective-C's suffixes: 1.0f, 10u, 5L.
      while (at < size && std::string_view("fFlLuU").find(source_[at]) != std::string_view::npos)
        ++at;
      push(Kind::number, begin, std::move(digits));
    } else {
      std::size_t length = 1;
      for (const std::string_view op : kOperators) {
        if (source_.compare(at, op.size(), op) == 0) {
          length = op.size();
          break;
        }
      }
      // Keep a multi-byte character whole.
      if (c >= 0x80) {
        while (at + length < size &&
               (static_cast<unsigned char>(source_[at + length]) & 0xC0) == 0x80)
          ++length;
      }
      at += length;
      push(Kind::punctuation, begin, std::string(source_.substr(begin, length)));
    }
  }
}

void SourceLexer::matchBrackets() {
  partners_.resize(tokens_.size());
  std::vector<std::uint32_t> open;
  const auto closerOf = [](const std::string& text) -> char {
    if (text == "(" || text == "@(") return ')';
    if (text == "[" || text == "@[") return ']';
    if (text == "{" || text == "@{") return '}';
    return '\0';
  };
  for (std::uint32_t i = 0; i < tokens_.size(); ++i) {
    partners_[i] = i;
    const SourceToken& token = tokens_[i];
    if (token.kind != Kind::punctuation) continue;
    if (closerOf(token.text) != '\0') {
      open.push_back(i);
      continue;
    }
    if (token.text != ")" && token.text != "]" && token.text != "}") continue;
    // A closer pairs with a near opener of its kind; openers left between stay unmatched. The
    // search stops a few levels down so that stray closers cost no more than that.
    constexpr std::ptrdiff_t kSearchDepth = 8;
    const auto searchEnd = open.rbegin() + std::min<std::ptrdiff_t>(kSearchDepth, std::ssize(open));
    const auto opener = std::find_if(open.rbegin(), searchEnd, [&](std::uint32_t index) {
      return closerOf(tokens_[index].text) == token.text[0];
    });
    if (opener == searchEnd) continue;
    partners_[i] = *opener;
    partners_[*opener] = i;
    open.erase(std::next(opener).base(), open.end());
  }
}

}  // namespace tessary::code_editor
