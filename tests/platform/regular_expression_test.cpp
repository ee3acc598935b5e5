#include "tessary/platform/regular_expression.h"

#include <gtest/gtest.h>

#include <thread>

#include "support/golden_file.h"
#include "tessary/platform/well_formed_utf8.h"

namespace tessary::platform {
namespace {

std::string shown(const std::optional<StringRange>& range) {
  return range ? std::to_string(range->begin) + "-" + std::to_string(range->end) : "none";
}

// Per pattern, text and starting byte: the first match from there, in UTF-16 units, all matches,
// and the first match of the pattern taken literally. Any text taken literally matches itself.
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
    const RegularExpression literal(RegularExpression::escapedPattern(text));
    EXPECT_TRUE(!isWellFormedUtf8(text) ||
                (literal.firstMatch(text) == StringRange{0, text.size()}));
    return result + " literal " +
           shown(RegularExpression(RegularExpression::escapedPattern(fields[0])).firstMatch(text));
  });
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
  std::vector<std::jthread> threads;
  for (int thread = 0; thread < 4; ++thread) {
    threads.emplace_back([&, copy = digits] {
      for (int round = 0; round < 200; ++round) {
        EXPECT_EQ(copy.matches(text), expected);
        EXPECT_EQ(digits.firstMatch(text), expected.front());
      }
    });
  }
}

}  // namespace
}  // namespace tessary::platform
