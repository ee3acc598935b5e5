#include "plain_json_reader.h"

#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <system_error>

#include "tessary/platform/well_formed_utf8.h"

namespace tessary::store {

namespace {

// Far deeper than an effect nests; a deeper text is left to the full parser.
constexpr int kMaxDepth = 256;
// The element count nlohmann's parser announces for every object and array.
constexpr auto kUnknownSize = static_cast<std::size_t>(-1);

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

class Reader {
 public:
  Reader(std::string_view text, PlainJsonReader::Sax& sax, PlainJsonReader::ValueSpan* valueSpan)
      : begin_(text.data()),
        position_(text.data()),
        end_(text.data() + text.size()),
        sax_(sax),
        valueSpan_(valueSpan) {}

  bool document() {
    // A byte-order mark is skipped, as nlohmann's parser does.
    literal("\xEF\xBB\xBF");
    skipSpace();
    if (!value(0)) return false;
    skipSpace();
    return position_ == end_;
  }

 private:
  bool at(char c) const { return position_ != end_ && *position_ == c; }

  void skipSpace() {
    while (position_ != end_ &&
           (*position_ == ' ' || *position_ == '\n' || *position_ == '\r' || *position_ == '\t')) {
      ++position_;
    }
  }

  bool value(int depth) {
    if (position_ == end_) return false;
    const char* start = position_;
    switch (*position_) {
      case '{':
        return object(depth);
      case '[':
        return array(depth);
      case '"':
        return string(text_, Escapes::decoded) && spanned(start) && sax_.string(text_);
      case 't':
        return literal("true") && spanned(start) && sax_.boolean(true);
      case 'f':
        return literal("false") && spanned(start) && sax_.boolean(false);
      case 'n':
        return literal("null") && spanned(start) && sax_.null();
      default:
        return number();
    }
  }

  // Notes the place of the value from `start` up to here for the handler; always true.
  bool spanned(const char* start) {
    if (valueSpan_) {
      *valueSpan_ = {static_cast<std::size_t>(start - begin_),
                     static_cast<std::size_t>(position_ - begin_)};
    }
    return true;
  }

  bool object(int depth) {
    if (depth == kMaxDepth) return false;
    ++position_;
    if (!sax_.start_object(kUnknownSize)) return false;
    skipSpace();
    if (at('}')) {
      ++position_;
      return sax_.end_object();
    }
    for (;;) {
      if (!at('"') || !string(text_, Escapes::refused) || !sax_.key(text_)) return false;
      skipSpace();
      if (!at(':')) return false;
      ++position_;
      skipSpace();
      if (!value(depth + 1)) return false;
      skipSpace();
      if (at('}')) {
        ++position_;
        return sax_.end_object();
      }
      if (!at(',')) return false;
      ++position_;
      skipSpace();
    }
  }

  bool array(int depth) {
    if (depth == kMaxDepth) return false;
    ++position_;
    if (!sax_.start_array(kUnknownSize)) return false;
    skipSpace();
    if (at(']')) {
      ++position_;
      return sax_.end_array();
    }
    for (;;) {
      if (!value(depth + 1)) return false;
      skipSpace();
      if (at(']')) {
        ++position_;
        return sax_.end_array();
      }
      if (!at(',')) return false;
      ++position_;
      skipSpace();
    }
  }

  // Keys are plain names; a key with an escape is left to the full parser, which reads it alike.
  enum class Escapes { decoded, refused };

  // A string without control characters, its characters well-formed UTF-8. One with escapes is
  // decoded by nlohmann's parser, so that both readers agree on every escape.
  bool string(std::string& out, Escapes escapes) {
    const char* quote = position_;
    const char* start = ++position_;
    bool ascii = true;
    bool escaped = false;
    for (; position_ != end_; ++position_) {
      const auto byte = static_cast<unsigned char>(*position_);
      if (byte == '"') {
        ++position_;
        if (escaped) return decodedString(std::string_view(quote, position_), out);
        out.assign(start, position_ - 1);
        return ascii || platform::isWellFormedUtf8(out);
      }
      if (byte < 0x20) return false;
      if (byte == '\\') {
        if (escapes == Escapes::refused) return false;
        escaped = true;
        if (++position_ == end_) return false;
      }
      if (byte >= 0x80) ascii = false;
    }
    return false;
  }

  static bool decodedString(std::string_view literal, std::string& out) {
    const nlohmann::json decoded = nlohmann::json::parse(literal, nullptr, false);
    if (!decoded.is_string()) return false;
    out = decoded.get<std::string>();
    return true;
  }

  bool literal(std::string_view word) {
    if (static_cast<std::size_t>(end_ - position_) < word.size() ||
        std::string_view(position_, word.size()) != word) {
      return false;
    }
    position_ += word.size();
    return true;
  }

  bool digits() {
    if (position_ == end_ || !isDigit(*position_)) return false;
    while (position_ != end_ && isDigit(*position_)) ++position_;
    return true;
  }

  // Integers go to the handler as signed when negative, unsigned otherwise, as nlohmann's parser
  // gives them; one that does not fit is left to it.
  bool number() {
    const char* start = position_;
    const bool negative = at('-');
    if (negative) ++position_;
    if (at('0')) {
      ++position_;
    } else if (!digits()) {
      return false;
    }
    bool integral = true;
    if (at('.')) {
      ++position_;
      integral = false;
      if (!digits()) return false;
    }
    if (at('e') || at('E')) {
      ++position_;
      integral = false;
      if (at('+') || at('-')) ++position_;
      if (!digits()) return false;
    }
    if (integral && negative) {
      std::int64_t integer = 0;
      const auto [end, error] = std::from_chars(start, position_, integer);
      return error == std::errc{} && end == position_ && spanned(start) &&
             sax_.number_integer(integer);
    }
    if (integral) {
      std::uint64_t integer = 0;
      const auto [end, error] = std::from_chars(start, position_, integer);
      return error == std::errc{} && end == position_ && spanned(start) &&
             sax_.number_unsigned(integer);
    }
    double number = 0.0;
    const auto [end, error] = std::from_chars(start, position_, number);
    if (error != std::errc{} || end != position_ || !std::isfinite(number)) return false;
    numberText_.assign(start, position_);
    return spanned(start) && sax_.number_float(number, numberText_);
  }

  const char* begin_;
  const char* position_;
  const char* end_;
  PlainJsonReader::Sax& sax_;
  PlainJsonReader::ValueSpan* valueSpan_;
  std::string text_;
  std::string numberText_;
};

}  // namespace

bool PlainJsonReader::read(std::string_view text, Sax& sax, ValueSpan* valueSpan) {
  return Reader(text, sax, valueSpan).document();
}

}  // namespace tessary::store
