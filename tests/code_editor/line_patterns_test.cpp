#include "tessary/code_editor/line_patterns.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "support/golden_file.h"

namespace tessary::code_editor {
namespace {

using store::ConfigType;

TEST(LinePatternsTest, PatternsPickTheirNumberOrTellLinesApart) {
  tessary::testing::expectCasesMatchGolden(
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
  tessary::testing::expectCasesMatchGolden(
      "code_editor/non_digits.cases", 1, [](const std::vector<std::string>& fields) {
        return ConfigType::nonDigits.isFoundIn(fields[0]) ? "non-digits" : "digits only";
      });
  EXPECT_EQ(LinePatterns::periodCount("1.2.3"), 2u);
}

}  // namespace
}  // namespace tessary::code_editor
