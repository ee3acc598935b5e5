#include "tessary/platform/regular_expression.h"

#include <unicode/regex.h>
#include <unicode/utext.h>
#include <unicode/utf16.h>
#include <unicode/utf8.h>

#include <climits>
#include <cstdint>
#include <string>

#include "tessary/platform/fatal_error.h"

namespace tessary::platform {

struct RegularExpression::Compiled {
  std::string pattern;
  std::unique_ptr<icu::RegexPattern> compiled;
};

namespace {

// ICU's UTF-8 text works with 32-bit offsets inside; longer texts are not searched.
constexpr std::size_t kMaximumTextSize = INT32_MAX;

// One search over one text: a UTF-8 view of the bytes (no copy) and a matcher of its own, so
// concurrent searches never share matcher state.
class Search {
 public:
  Search(const icu::RegexPattern& pattern, std::string_view text) {
    if (text.size() > kMaximumTextSize) fatalError("Text too long for a regular expression search");
    UErrorCode status = U_ZERO_ERROR;
    // An empty view may have no data pointer; ICU wants one even for no bytes.
    const char* bytes = text.data() != nullptr ? text.data() : "";
    utext_openUTF8(&text_, bytes, static_cast<int64_t>(text.size()), &status);
    matcher_.reset(pattern.matcher(status));
    if (U_FAILURE(status) || matcher_ == nullptr) {
      fatalError(std::string("Cannot start a regular expression search: ") + u_errorName(status));
    }
    matcher_->reset(&text_);
  }
  ~Search() {
    matcher_.reset();
    utext_close(&text_);
  }
  Search(const Search&) = delete;
  Search& operator=(const Search&) = delete;

  // The first character boundary at or after `byteOffset`, as ICU reads the text.
  int64_t boundaryAtOrAfter(std::size_t byteOffset) {
    utext_setNativeIndex(&text_, static_cast<int64_t>(byteOffset));
    if (utext_getNativeIndex(&text_) < static_cast<int64_t>(byteOffset)) utext_next32(&text_);
    return utext_getNativeIndex(&text_);
  }

  // Searches anew from `start` with the whole text as context. A search that ICU gives up on
  // (its backtracking stack limit) counts as no match.
  bool findFrom(int64_t start) {
    UErrorCode status = U_ZERO_ERROR;
    return matcher_->find(start, status) && U_SUCCESS(status);
  }

  bool findNext() {
    UErrorCode status = U_ZERO_ERROR;
    return matcher_->find(status) && U_SUCCESS(status);
  }

  StringRange match() const {
    UErrorCode status = U_ZERO_ERROR;
    const int64_t begin = matcher_->start64(status);
    const int64_t end = matcher_->end64(status);
    return StringRange{static_cast<std::size_t>(begin), static_cast<std::size_t>(end)};
  }

 private:
  UText text_ = UTEXT_INITIALIZER;
  std::unique_ptr<icu::RegexMatcher> matcher_;
};

// UTF-16 code units of `bytes`, reading ill-formed sequences the way ICU's UTF-8 text does: one
// U+FFFD per maximal ill-formed subsequence.
std::size_t utf16Length(std::string_view bytes) {
  const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
  const auto length = static_cast<int32_t>(bytes.size());
  std::size_t units = 0;
  int32_t index = 0;
  while (index < length) {
    UChar32 codePoint = 0;
    U8_NEXT_OR_FFFD(data, index, length, codePoint);
    units += U16_LENGTH(codePoint);
  }
  return units;
}

bool isPatternSyntaxCharacter(char character) {
  return std::string_view("\\^$.|?*+()[]{}").find(character) != std::string_view::npos;
}

}  // namespace

RegularExpression::RegularExpression(std::string_view pattern, std::source_location location) {
  auto compiled = std::make_shared<Compiled>();
  compiled->pattern = std::string(pattern);
  UErrorCode status = U_ZERO_ERROR;
  UText patternText = UTEXT_INITIALIZER;
  utext_openUTF8(&patternText, compiled->pattern.c_str(),
                 static_cast<int64_t>(compiled->pattern.size()), &status);
  UParseError parseError{};
  compiled->compiled.reset(icu::RegexPattern::compile(&patternText, 0, parseError, status));
  utext_close(&patternText);
  if (U_FAILURE(status)) {
    fatalError("Invalid regular expression \"" + compiled->pattern + "\": " + u_errorName(status) +
                   " at line " + std::to_string(parseError.line) + ", offset " +
                   std::to_string(parseError.offset),
               location);
  }
  compiled_ = std::move(compiled);
}

const std::string& RegularExpression::pattern() const {
  return compiled_->pattern;
}

std::optional<StringRange> RegularExpression::firstMatch(std::string_view text) const {
  return firstMatch(text, 0);
}

std::optional<StringRange> RegularExpression::firstMatch(std::string_view text,
                                                         std::size_t fromByte) const {
  if (fromByte > text.size()) return std::nullopt;
  Search search(*compiled_->compiled, text);
  if (!search.findFrom(search.boundaryAtOrAfter(fromByte))) return std::nullopt;
  return search.match();
}

std::optional<NSRange> RegularExpression::firstMatchNSRange(std::string_view text) const {
  const std::optional<StringRange> match = firstMatch(text);
  if (!match) return std::nullopt;
  const std::size_t location = utf16Length(text.substr(0, match->begin));
  return NSRange{location, utf16Length(text.substr(match->begin, match->size()))};
}

bool RegularExpression::didMatch(std::string_view text) const {
  Search search(*compiled_->compiled, text);
  return search.findFrom(0);
}

std::vector<StringRange> RegularExpression::matches(std::string_view text) const {
  std::vector<StringRange> ranges;
  Search search(*compiled_->compiled, text);
  while (search.findNext()) ranges.push_back(search.match());
  return ranges;
}

std::string RegularExpression::escapedPattern(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size());
  for (const char character : text) {
    if (isPatternSyntaxCharacter(character)) escaped.push_back('\\');
    escaped.push_back(character);
  }
  return escaped;
}

}  // namespace tessary::platform
