#include "tessary/platform/regular_expression.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace tessary::platform {
namespace {

const std::string kBackgroundLine =
    "particlesLayer.backgroundColor = NSColor(red: 12/255.0, green: 34/255.0, blue: 56/255.0, "
    "alpha: 1.0).cgColor";
const std::string kColourLines = kBackgroundLine +
                                 "\ncell1.color = NSColor(red: 255/255.0, green: 128/255.0, "
                                 "blue: 0/255.0, alpha: 1.0).cgColor\n"
                                 "subcell1_1.color = UIColor(red: 7.5/255.0, green: 0/255.0, "
                                 "blue: 0/255.0, alpha: 0.5).cgColor\n";
// The emitter height value: a backslash before a real line feed stands for the line feed.
const std::string kHeightPattern = "(?<=height: )[\\d.]+(?=\\)\\\nparticles)";
const std::string kSizeLine = "particlesLayer.emitterSize = CGSize(width: 50.0, height: 10.5)";

std::optional<std::string> matchedText(const std::string& text,
                                       const std::optional<StringRange>& range) {
  if (!range) return std::nullopt;
  return text.substr(range->begin, range->size());
}

struct FirstMatchCase {
  std::string name;
  std::string pattern;
  std::string text;
  std::optional<StringRange> bytes;
  std::optional<NSRange> utf16;
};

TEST(RegularExpressionTest, FirstMatchInBytesAndUtf16Units) {
  const std::vector<FirstMatchCase> cases = {
      {"empty text, pattern needs a character", "a+", "", std::nullopt, std::nullopt},
      {"empty-matching pattern over empty text", "x*", "", StringRange{0, 0}, NSRange{0, 0}},
      {"empty-matching pattern matches at the start", "x*", "abx", StringRange{0, 0},
       NSRange{0, 0}},
      {"leftmost and greedy", "\\d+", "ab 123 45", StringRange{3, 6}, NSRange{3, 3}},
      {"case-sensitive", "abc", "ABC", std::nullopt, std::nullopt},
      {"emoji before the match count two units each", "\\d+", "\xF0\x9F\x94\xA5\xF0\x9F\x94\xA5 42",
       StringRange{9, 11}, NSRange{5, 2}},
      {"emoji inside the match", "a.b",
       "a\xF0\x9F\x98\x80"
       "b",
       StringRange{0, 6}, NSRange{0, 4}},
      {"two-byte characters count one unit", "\\d",
       "\xC3\xA9\xC3\xA9"
       "7",
       StringRange{4, 5}, NSRange{2, 1}},
      {"dot does not match a line feed", "a.b", "a\nb", std::nullopt, std::nullopt},
      {"caret anchors at the start of the whole text only", "^b", "a\nb", std::nullopt,
       std::nullopt},
      {"dollar anchors at the end of the whole text only", "a$", "a\nb", std::nullopt,
       std::nullopt},
      {"Arabic-Indic digits are decimal digits", "\\d+", "x = \xD9\xA4\xD9\xA2", StringRange{4, 8},
       NSRange{4, 2}},
      {"backslash before a line feed matches a line feed", "a\\\nb", "xa\nb", StringRange{1, 4},
       NSRange{1, 3}},
      {"emitter height followed by the next particles line", kHeightPattern,
       kSizeLine + "\nparticlesLayer.emitterMode = .outline", StringRange{57, 61}, NSRange{57, 4}},
      {"emitter height on the last line", kHeightPattern, kSizeLine, std::nullopt, std::nullopt},
      {"background red value", "(?<=red: )[\\d.]+(?=\\/255\\.0)", kBackgroundLine,
       StringRange{46, 48}, NSRange{46, 2}},
      {"background alpha value", "(?<=alpha: )[\\d.]+(?=\\)\\.cgColor)", kBackgroundLine,
       StringRange{96, 99}, NSRange{96, 3}},
      {"look-behind needs the exact cell", "(?<=cell1\\.birthRate = )[\\d.]+",
       "cell11.birthRate = 5", std::nullopt, std::nullopt},
      {"ill-formed bytes before the match read as one unit each", "\\d+", "\xFF\xFE 12 \xC3",
       StringRange{3, 5}, NSRange{3, 2}},
      {"a truncated sequence is one character", "^.$", "\xE2\x82", StringRange{0, 2},
       NSRange{0, 1}},
      {"a stray continuation byte is one character", "a.b",
       "a\x80"
       "b",
       StringRange{0, 3}, NSRange{0, 3}},
  };
  for (const FirstMatchCase& testCase : cases) {
    SCOPED_TRACE(testCase.name);
    const RegularExpression expression(testCase.pattern);
    EXPECT_EQ(expression.firstMatch(testCase.text), testCase.bytes);
    EXPECT_EQ(expression.firstMatchNSRange(testCase.text), testCase.utf16);
    EXPECT_EQ(expression.didMatch(testCase.text), testCase.bytes.has_value());
  }
}

TEST(RegularExpressionTest, EmojiBeforeTheMatchYieldTheSameTextInBothForms) {
  const std::string text = "\xF0\x9F\x98\x80\xF0\x9F\x98\x80 cell1.birthRate = 7.5";
  const RegularExpression expression("(?<=birthRate = )[\\d.]+");
  EXPECT_EQ(matchedText(text, expression.firstMatch(text)), "7.5");
  const std::u16string utf16 = u"\U0001F600\U0001F600 cell1.birthRate = 7.5";
  const std::optional<NSRange> range = expression.firstMatchNSRange(text);
  ASSERT_TRUE(range.has_value());
  EXPECT_EQ(utf16.substr(range->location, range->length), u"7.5");
}

struct MatchesCase {
  std::string name;
  std::string pattern;
  std::string text;
  std::vector<StringRange> expected;
};

TEST(RegularExpressionTest, MatchesAreNonOverlappingLeftToRight) {
  const std::vector<MatchesCase> cases = {
      {"empty text", "a+", "", {}},
      {"no match", "\\d", "abc", {}},
      {"non-overlapping", "aa", "aaaaa", {{0, 2}, {2, 4}}},
      {"empty matches at every character boundary", "x*", "ab", {{0, 0}, {1, 1}, {2, 2}}},
      {"no empty match inside a multi-byte character", "x*", "\xF0\x9F\x98\x80", {{0, 0}, {4, 4}}},
      {"empty match after a non-empty one moves on", "a*", "aab", {{0, 2}, {2, 2}, {3, 3}}},
  };
  for (const MatchesCase& testCase : cases) {
    SCOPED_TRACE(testCase.name);
    EXPECT_EQ(RegularExpression(testCase.pattern).matches(testCase.text), testCase.expected);
  }
}

TEST(RegularExpressionTest, RedValuePatternFindsEveryColourLineInOrder) {
  const RegularExpression red("(?<=red: )[\\d.]+(?=\\/255\\.0)");
  std::vector<std::string> values;
  for (const StringRange& range : red.matches(kColourLines)) {
    values.push_back(*matchedText(kColourLines, range));
  }
  EXPECT_EQ(values, (std::vector<std::string>{"12", "255", "7.5"}));
}

struct FromOffsetCase {
  std::string name;
  std::string pattern;
  std::string text;
  std::size_t fromByte;
  std::optional<StringRange> expected;
};

TEST(RegularExpressionTest, FirstMatchFromAnOffsetKeepsTheTextBeforeVisible) {
  const std::string cells = "cell1.birthRate = 7\ncell2.birthRate = 8\n";
  const std::vector<FromOffsetCase> cases = {
      {"look-behind reaches across the offset", "(?<=birthRate = )\\d", cells, 18,
       StringRange{18, 19}},
      {"from the start of the second line", "(?<=birthRate = )\\d", cells, 20, StringRange{38, 39}},
      {"matches before the offset are skipped", "\\d", "1a2", 1, StringRange{2, 3}},
      {"caret still means the start of the whole text", "^cell", cells, 20, std::nullopt},
      {"look-ahead reaches past the line", kHeightPattern, kSizeLine + "\nparticles", 0,
       StringRange{57, 61}},
      {"an offset inside a character moves to the next one", "\\d|\xC3\xA9",
       "\xC3\xA9"
       "1",
       1, StringRange{2, 3}},
      {"an empty match at the very end", "x*", "ab", 2, StringRange{2, 2}},
      {"an offset past the end finds nothing", "x*", "ab", 3, std::nullopt},
  };
  for (const FromOffsetCase& testCase : cases) {
    SCOPED_TRACE(testCase.name);
    EXPECT_EQ(RegularExpression(testCase.pattern).firstMatch(testCase.text, testCase.fromByte),
              testCase.expected);
  }
}

TEST(RegularExpressionTest, EscapedPatternMatchesTheTextLiterally) {
  const std::vector<std::string> literals = {
      "cell1.birthRate =",
      "particlesLayer.backgroundColor = NSColor(red:",
      "\\E ends a quote \\Q starts one",
      "all of ^$.|?*+()[]{} and \\",
      "name with \\d and \\n",
      "line\nfeed",
      "\xF0\x9F\x94\xA5 fire.",
  };
  for (const std::string& literal : literals) {
    SCOPED_TRACE(literal);
    const RegularExpression expression(RegularExpression::escapedPattern(literal));
    EXPECT_EQ(expression.firstMatch("<<" + literal + ">>"), (StringRange{2, 2 + literal.size()}));
  }
  EXPECT_EQ(RegularExpression::escapedPattern("a.b(c)"), "a\\.b\\(c\\)");
  EXPECT_FALSE(RegularExpression(RegularExpression::escapedPattern("a.b")).didMatch("axb"));
  EXPECT_FALSE(RegularExpression(RegularExpression::escapedPattern("\\d")).didMatch("7"));
}

TEST(RegularExpressionTest, KeepsItsPatternTextAndCopiesShareIt) {
  const RegularExpression expression("(?<=subcell3_2\\.spin = )-?[\\d.]+");
  const RegularExpression copy = expression;  // NOLINT(performance-unnecessary-copy-initialization)
  EXPECT_EQ(copy.pattern(), "(?<=subcell3_2\\.spin = )-?[\\d.]+");
  const std::string line = "subcell3_2.spin = -1.5 * (.pi / 180.0)";
  EXPECT_EQ(matchedText(line, copy.firstMatch(line)), "-1.5");
}

TEST(RegularExpressionDeathTest, PatternThatDoesNotCompileStopsTheProcess) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(RegularExpression("(?<=red: [\\d.]+"),
               "Fatal error: Invalid regular expression .*regular_expression_test\\.cpp");
  EXPECT_DEATH(RegularExpression("a{2,1}"), "Fatal error: Invalid regular expression");
}

TEST(RegularExpressionConcurrencyTest, OneExpressionIsSearchedFromManyThreads) {
  const RegularExpression red("(?<=red: )[\\d.]+(?=\\/255\\.0)");
  const std::vector<StringRange> expected = red.matches(kColourLines);
  std::vector<int> mismatches(4, 0);
  std::vector<std::thread> threads;
  for (std::size_t index = 0; index < mismatches.size(); ++index) {
    threads.emplace_back([&, index, copy = red] {
      for (int round = 0; round < 200; ++round) {
        if (copy.matches(kColourLines) != expected) ++mismatches[index];
        if (red.firstMatch(kColourLines) != expected.front()) ++mismatches[index];
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(mismatches, std::vector<int>(4, 0));
}

}  // namespace
}  // namespace tessary::platform
