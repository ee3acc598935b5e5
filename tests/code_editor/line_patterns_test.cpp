#include "tessary/code_editor/line_patterns.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "platform/golden_cases.h"
#include "support/golden_file.h"

namespace tessary::code_editor {
namespace {

using store::CellProperty;
using store::ConfigType;

// Every pattern text, pinned: the line and layer value patterns under their keys, and the value
// pattern of every cell number and colour component for a cell and a sub-cell on both platforms.
TEST(LinePatternsTest, PatternTextsMatchTheGoldenFile) {
  std::multiset<std::string> lines;
  for (const auto& [key, pattern] : LinePatterns::linePatterns()) {
    lines.insert("line " + key + ": " + pattern.pattern());
  }
  for (const auto& [key, pattern] : LinePatterns::layerValuePatterns()) {
    lines.insert("layer value " + key + ": " + pattern.pattern());
  }
  for (const ConfigType type : ConfigType::allCases()) {
    const bool isColor = type.path() == CellProperty::color;
    if (!isColor && !(type.path().cellProperty() && type.path().isLimitedValueProperty())) continue;
    for (const CodePlatform platform : {CodePlatform::macOS, CodePlatform::iOS}) {
      for (int component = 0; component <= (isColor ? 4 : 0); ++component) {
        for (const std::optional<int> subcell : {std::optional<int>(), std::optional<int>(0)}) {
          const auto pattern = LinePatterns::cellValuePattern(
              subcell ? 2 : 0, subcell, component ? std::optional(component) : std::nullopt,
              platform, type);
          lines.insert("cell value " + std::string(type.rawValue()) + " " +
                       std::string(platform.rawValue()) + " " + std::to_string(component) + ": " +
                       pattern.pattern());
        }
      }
    }
  }
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  tessary::testing::expectMatchesGolden(text, "patterns/line_patterns.txt");
}

// Each case: a layer value pattern, a line pattern or a cell value pattern (of a cell, or of
// the sub-cell given) on iOS, a text, and what the pattern matches in it.
TEST(LinePatternsTest, PatternsPickTheirNumberOrTellLinesApart) {
  platform::golden_cases::expectMatchesGolden(
      "code_editor/pattern_matches.cases", 4, [](const std::vector<std::string>& fields) {
        const auto& [kind, key, subindex, text] =
            std::tie(fields[0], fields[1], fields[2], fields[3]);
        const platform::RegularExpression pattern =
            kind == "value" ? LinePatterns::layerValuePatterns().at(key)
            : kind == "line"
                ? LinePatterns::linePatterns().at(key)
                : LinePatterns::cellValuePattern(
                      0, subindex.empty() ? std::nullopt : std::optional(std::stoi(subindex)),
                      std::nullopt, CodePlatform::iOS, ConfigType::fromRawValue(key).value());
        const auto match = pattern.firstMatch(text);
        return match ? "match " + text.substr(match->begin, match->size()) : "no match";
      });
}

TEST(LinePatternsTest, NonDigitsAreEverythingButDigitsPointAndMinus) {
  using namespace std::string_view_literals;
  for (const auto text : {" "sv, "+"sv, "e"sv, ","sv, "1 2"sv, "\xD9\xA1"sv, "\0"sv}) {
    EXPECT_TRUE(ConfigType::nonDigits.isFoundIn(text)) << text;
  }
  for (const auto text : {"0"sv, "9"sv, "-12.50"sv, ""sv}) {
    EXPECT_FALSE(ConfigType::nonDigits.isFoundIn(text)) << text;
  }
  EXPECT_EQ(LinePatterns::periodCount("1.2.3"), 2u);
}

}  // namespace
}  // namespace tessary::code_editor
