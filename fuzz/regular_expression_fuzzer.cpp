// The project's own patterns (line shapes, layer and cell numbers, the change locator's literal
// search) over arbitrary text: no crash, no hang, and every match a sound range of the text.
//
// Input: a byte that picks the patterns, two bytes of search offset, then the text.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "tessary/code_editor/change_locator.h"
#include "tessary/code_editor/code_platform.h"
#include "tessary/code_editor/line_patterns.h"
#include "tessary/platform/regular_expression.h"
#include "tessary/platform/utf16_length.h"
#include "tessary/platform/well_formed_utf8.h"
#include "tessary/store/config_type.h"

namespace {

using tessary::code_editor::ChangeLocator;
using tessary::code_editor::CodePlatform;
using tessary::code_editor::LinePatterns;
using tessary::fuzzing::require;
using tessary::platform::RegularExpression;
using tessary::platform::StringRange;
using tessary::store::ConfigType;

// Every pattern the edit analysis searches with: the line shapes, the layer's numbers, and the
// numbers of a cell and of a sub-cell on both platforms.
const std::vector<RegularExpression>& projectPatterns() {
  static const std::vector<RegularExpression> kPatterns = [] {
    std::vector<RegularExpression> patterns;
    for (const auto& [key, pattern] : LinePatterns::linePatterns()) patterns.push_back(pattern);
    for (const auto& [key, pattern] : LinePatterns::layerValuePatterns()) {
      patterns.push_back(pattern);
    }
    for (const CodePlatform platform : {CodePlatform::macOS, CodePlatform::iOS}) {
      for (const ConfigType type : ConfigType::allCases()) {
        const bool isColor = type == tessary::store::CellProperty::color;
        if (!type.row().isCellNumber() && !isColor) continue;
        if (isColor) {
          for (int component = 1; component <= 4; ++component) {
            patterns.push_back(
                LinePatterns::cellValuePattern(0, std::nullopt, component, platform, type));
            patterns.push_back(LinePatterns::cellValuePattern(1, 0, component, platform, type));
          }
        } else {
          patterns.push_back(
              LinePatterns::cellValuePattern(0, std::nullopt, std::nullopt, platform, type));
          patterns.push_back(LinePatterns::cellValuePattern(1, 0, std::nullopt, platform, type));
        }
      }
    }
    patterns.emplace_back(".*=");
    return patterns;
  }();
  return kPatterns;
}

// `boundaries` of well-formed text; null for other text.
using Boundaries = const std::vector<bool>*;

void checkRange(std::string_view text, const StringRange& range, Boundaries boundaries) {
  require(range.begin <= range.end && range.end <= text.size(), "a match lies inside the text");
  if (boundaries) {
    require((*boundaries)[range.begin] && (*boundaries)[range.end],
            "a match never splits a character");
  }
}

void checkPattern(const RegularExpression& pattern, std::string_view text, std::size_t from,
                  Boundaries boundaries) {
  const std::optional<StringRange> first = pattern.firstMatch(text);
  const std::vector<StringRange> all = pattern.matches(text);
  require(first.has_value() == !all.empty() && pattern.didMatch(text) == first.has_value(),
          "the searches agree on whether there is a match");
  std::size_t previousEnd = 0;
  for (std::size_t i = 0; i < all.size(); ++i) {
    checkRange(text, all[i], boundaries);
    require(i == 0 || all[i].begin >= previousEnd, "matches come in order and never overlap");
    previousEnd = all[i].end;
  }
  if (first) {
    require(first->begin == all.front().begin && first->end == all.front().end,
            "the first match is the first of all matches");
    if (boundaries) {
      const auto counted = pattern.firstMatchNSRange(text);
      require(
          counted &&
              counted->location == tessary::platform::utf16Length(text.substr(0, first->begin)) &&
              counted->length == tessary::platform::utf16Length(
                                     text.substr(first->begin, first->end - first->begin)),
          "the UTF-16 range is the byte range counted in UTF-16");
    }
  }
  if (const auto later = pattern.firstMatch(text, from)) {
    checkRange(text, *later, boundaries);
    require(later->begin >= from, "a search from an offset starts there");
  }
}

void checkLiteralSearch(std::string_view text, Boundaries boundaries) {
  const std::vector<bool> starts = tessary::fuzzing::characterBoundaries(text);
  std::size_t literalSize = std::min<std::size_t>(text.size(), 200);
  while (literalSize > 0 && !starts[literalSize]) --literalSize;
  const std::string_view literal = text.substr(0, literalSize);
  const RegularExpression escaped(RegularExpression::escapedPattern(literal));
  if (boundaries) {
    const auto found = escaped.firstMatch(text);
    require(found && found->begin == 0 && found->end == literal.size(),
            "an escaped text matches exactly itself");
  }

  const std::string_view firstLine = text.substr(0, text.find('\n'));
  const auto fixed = ChangeLocator::fixedBeginning(firstLine);
  if (!fixed) return;
  const auto found = ChangeLocator::findLine(*fixed, text);
  require(found.has_value(), "a line is found by its own beginning");
  checkRange(text, *found, boundaries);
  require(text.substr(found->begin, fixed->size()) == *fixed,
          "the found line begins with the fixed beginning");
  const auto current = ChangeLocator::currentLine(firstLine, text);
  require(current && current->starts_with(*fixed), "the current line begins as the built one");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  const std::size_t pick = data[0];
  const std::string_view text = tessary::fuzzing::textOf(data + 3, size - 3);
  const std::size_t from = (static_cast<std::size_t>(data[1]) << 8 | data[2]) % (text.size() + 2);
  const std::vector<bool> boundaries = tessary::fuzzing::characterBoundaries(text);
  const Boundaries wellFormed = tessary::platform::isWellFormedUtf8(text) ? &boundaries : nullptr;

  const auto& patterns = projectPatterns();
  for (std::size_t i = 0; i < 4; ++i) {
    checkPattern(patterns[(pick * 4 + i) % patterns.size()], text, from, wellFormed);
  }
  checkLiteralSearch(text, wellFormed);
  return 0;
}
