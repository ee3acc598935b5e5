#include "tessary/platform/regular_expression.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace tessary::platform {
namespace {

TEST(RegularExpressionTest, FirstMatchInBytesAndUtf16Units) {
  const struct {
    std::string pattern;
    std::string text;
    std::optional<StringRange> bytes;
    std::optional<NSRange> utf16;
  } cases[] = {
      {"a+", "", std::nullopt, std::nullopt},
      {"x*", "abx", StringRange{0, 0}, NSRange{0, 0}},
      {"\\d+", "ab 123 45", StringRange{3, 6}, NSRange{3, 3}},
      {"abc", "ABC", std::nullopt, std::nullopt},
      // Emoji count two UTF-16 units, other characters one.
      {"\\d+", "\xF0\x9F\x94\xA5\xF0\x9F\x94\xA5 42", StringRange{9, 11}, NSRange{5, 2}},
      {"a.z", "a\xF0\x9F\x98\x80z", StringRange{0, 6}, NSRange{0, 4}},
      {"\\d", "\xC3\xA9\xC3\xA9\x37", StringRange{4, 5}, NSRange{2, 1}},
      // "." stops at a line feed; "^" and "$" are the ends of the whole text.
      {"a.b", "a\nb", std::nullopt, std::nullopt},
      {"^b", "a\nb", std::nullopt, std::nullopt},
      {"a$", "a\nb", std::nullopt, std::nullopt},
      {"\\d+", "x = \xD9\xA4\xD9\xA2", StringRange{4, 8}, NSRange{4, 2}},  // Arabic-Indic digits
      {"a\\\nb", "xa\nb", StringRange{1, 4}, NSRange{1, 3}},               // backslash, line feed
      {"(?<=cell1\\.x = )\\d", "cell11.x = 5", std::nullopt, std::nullopt},
      // Each maximal ill-formed part reads as one character.
      {"\\d+", "\xFF\xFE 12 \xC3", StringRange{3, 5}, NSRange{3, 2}},
      {"^.$", "\xE2\x82", StringRange{0, 2}, NSRange{0, 1}},
      {"a.z", "a\x80z", StringRange{0, 3}, NSRange{0, 3}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pattern + " in " + c.text);
    const RegularExpression expression(c.pattern);
    EXPECT_EQ(expression.firstMatch(c.text), c.bytes);
    EXPECT_EQ(expression.firstMatchNSRange(c.text), c.utf16);
    EXPECT_EQ(expression.didMatch(c.text), c.bytes.has_value());
  }
}

TEST(RegularExpressionTest, MatchesAreNonOverlappingLeftToRight) {
  const struct {
    std::string pattern;
    std::string text;
    std::vector<StringRange> expected;
  } cases[] = {
      {"a+", "", {}},
      {"aa", "aaaaa", {{0, 2}, {2, 4}}},
      {"x*", "ab", {{0, 0}, {1, 1}, {2, 2}}},
      {"x*", "\xF0\x9F\x98\x80", {{0, 0}, {4, 4}}},  // never inside a character
      {"a*", "aab", {{0, 2}, {2, 2}, {3, 3}}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RegularExpression(c.pattern).matches(c.text), c.expected) << c.pattern;
  }
}

TEST(RegularExpressionTest, FirstMatchFromAnOffsetKeepsTheTextBeforeVisible) {
  const std::string cells = "cell1.birthRate = 7\ncell2.birthRate = 8\n";
  const struct {
    std::string pattern;
    std::string text;
    std::size_t fromByte;
    std::optional<StringRange> expected;
  } cases[] = {
      {"(?<=birthRate = )\\d", cells, 18, StringRange{18, 19}},
      {"(?<=birthRate = )\\d", cells, 20, StringRange{38, 39}},
      {"\\d", "1a2", 1, StringRange{2, 3}},
      {"^cell", cells, 20, std::nullopt},
      {"\\d|\xC3\xA9", "\xC3\xA9\x31", 1, StringRange{2, 3}},  // from inside a character
      {"x*", "ab", 2, StringRange{2, 2}},
      {"x*", "ab", 3, std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RegularExpression(c.pattern).firstMatch(c.text, c.fromByte), c.expected)
        << c.pattern << " from " << c.fromByte;
  }
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
