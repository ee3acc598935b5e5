#include "tessary/platform/regular_expression.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "support/golden_file.h"

namespace tessary::platform {
namespace {

std::string shown(const std::optional<StringRange>& range) {
  return range ? std::to_string(range->begin) + "-" + std::to_string(range->end) : "none";
}

// Per pattern, text and starting byte: the first match from there, the first match in UTF-16
// units, and all matches, non-overlapping and never inside a character.
TEST(RegularExpressionTest, MatchesInBytesAndUtf16Units) {
  testing::expectCasesMatchGolden("regular_expressions.cases", 3, [](const auto& fields) {
    const RegularExpression expression(fields[0]);
    const std::string& text = fields[1];
    std::string result = "from " + shown(expression.firstMatch(text, std::stoul(fields[2])));
    const std::optional<NSRange> units = expression.firstMatchNSRange(text);
    EXPECT_EQ(units.has_value(), expression.didMatch(text));
    EXPECT_EQ(units.has_value(), expression.firstMatch(text).has_value());
    if (units)
      result += " units " + std::to_string(units->location) + "+" + std::to_string(units->length);
    result += " all";
    for (const StringRange match : expression.matches(text)) result += " " + shown(match);
    return result;
  });
}

TEST(RegularExpressionTest, EscapedPatternMatchesTheTextLiterally) {
  for (const std::string literal :
       {"\\E ends a quote \\Q starts one", "all of ^$.|?*+()[]{} and \\", "\\d and \\n",
        "line\nfeed", "\xF0\x9F\x94\xA5 fire."}) {
    const RegularExpression expression(RegularExpression::escapedPattern(literal));
    EXPECT_EQ(expression.firstMatch("<<" + literal + ">>"), (StringRange{2, 2 + literal.size()}));
  }
  EXPECT_FALSE(RegularExpression(RegularExpression::escapedPattern("a.\\d")).didMatch("ax7"));
}

TEST(RegularExpressionDeathTest, PatternThatDoesNotCompileStopsTheProcess) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(RegularExpression("(?<=red: [\\d.]+"),
               "Fatal error: Invalid regular expression .*regular_expression_test\\.cpp");
}

TEST(RegularExpressionConcurrencyTest, OneExpressionIsSearchedFromManyThreads) {
  const std::string text = "a 1 b 22 c 333\n";
  const RegularExpression digits("(?<= )\\d+");
  const std::vector<StringRange> expected = digits.matches(text);
  std::vector<int> mismatches(4, 0);
  std::vector<std::thread> threads;
  for (std::size_t index = 0; index < mismatches.size(); ++index) {
    threads.emplace_back([&, index, copy = digits] {
      for (int round = 0; round < 200; ++round) {
        if (copy.matches(text) != expected || digits.firstMatch(text) != expected.front()) {
          ++mismatches[index];
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(mismatches, std::vector<int>(4, 0));
}

}  // namespace
}  // namespace tessary::platform
