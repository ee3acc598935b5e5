// The project's own patterns and literal line search over any text: no crash or hang, every match
// a sound range. Input: a byte that picks the patterns, two bytes of search offset, the text.

#include "code_editor/project_patterns.h"
#include "fuzz_support.h"
#include "tessary/code_editor/change_locator.h"
#include "tessary/platform/utf16_length.h"
#include "tessary/platform/well_formed_utf8.h"

namespace {

using namespace tessary::code_editor;
using namespace tessary::platform;
using tessary::fuzzing::require;

// `boundaries`: those of well-formed text; null for other text.
void checkRange(std::string_view text, const StringRange& range,
                const std::vector<bool>* boundaries) {
  require(range.begin <= range.end && range.end <= text.size(), "a match lies inside the text");
  require(!boundaries || ((*boundaries)[range.begin] && (*boundaries)[range.end]),
          "a match never splits a character");
}

void checkPattern(const RegularExpression& pattern, std::string_view text, std::size_t from,
                  const std::vector<bool>* boundaries) {
  const std::optional<StringRange> first = pattern.firstMatch(text);
  const std::vector<StringRange> all = pattern.matches(text);
  require(first.has_value() == !all.empty() && pattern.didMatch(text) == first.has_value(),
          "the searches agree on whether there is a match");
  for (std::size_t i = 0; i < all.size(); ++i) {
    checkRange(text, all[i], boundaries);
    require(i == 0 || all[i].begin >= all[i - 1].end, "matches come in order and never overlap");
  }
  require(!first || *first == all.front(), "the first match is the first of all matches");
  if (first && boundaries) {
    const auto units = [&](std::size_t end) { return utf16Length(text.substr(0, end)); };
    require(pattern.firstMatchNSRange(text) ==
                NSRange{units(first->begin), units(first->end) - units(first->begin)},
            "the UTF-16 range is the byte range counted in UTF-16");
  }
  if (const auto later = pattern.firstMatch(text, from)) {
    checkRange(text, *later, boundaries);
    require(later->begin >= from, "a search from an offset starts there");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  const std::string_view text = tessary::fuzzing::textOf(data + 3, size - 3);
  const std::size_t from = (static_cast<std::size_t>(data[1]) << 8 | data[2]) % (text.size() + 2);
  const std::vector<bool> starts = tessary::fuzzing::characterBoundaries(text);
  const std::vector<bool>* boundaries = isWellFormedUtf8(text) ? &starts : nullptr;
  // The pattern that finds a line's fixed beginning, and three of the edit analysis's patterns.
  static const RegularExpression kFixedBeginning(".*=");
  static const auto kPatterns = testing::projectPatterns();
  checkPattern(kFixedBeginning, text, from, boundaries);
  for (std::size_t i = 0; i < 3; ++i) {
    checkPattern(kPatterns[(data[0] * 3 + i) % kPatterns.size()].second, text, from, boundaries);
  }

  std::size_t literalSize = std::min<std::size_t>(text.size(), 200);
  while (!starts[literalSize]) --literalSize;
  const RegularExpression escaped(RegularExpression::escapedPattern(text.substr(0, literalSize)));
  require(!boundaries || escaped.firstMatch(text) == StringRange{0, literalSize},
          "an escaped text matches exactly itself");
  const std::string_view firstLine = text.substr(0, text.find('\n'));
  const auto fixed = ChangeLocator::fixedBeginning(firstLine);
  if (!fixed) return 0;
  const auto found = ChangeLocator::findLine(*fixed, text);
  require(found && text.substr(found->begin, fixed->size()) == *fixed,
          "a line is found by its own beginning, and begins with it");
  checkRange(text, *found, boundaries);
  const auto current = ChangeLocator::currentLine(firstLine, text);
  require(current && current->starts_with(*fixed), "the current line begins as the built one");
  return 0;
}
