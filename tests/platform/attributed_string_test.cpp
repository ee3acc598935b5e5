#include "tessary/platform/attributed_string.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace tessary::platform {
namespace {

TextAttributes colored(double red) {
  return TextAttributes{.foregroundColor = Color::colorWithRed(red, 0.0, 0.0, 1.0)};
}

const Font kMenlo = *Font::fontWithName("Menlo Regular", 12.0);
const Font kMenloBold = *Font::fontWithName("Menlo Bold", 12.0);

// The attributes of every UTF-16 unit, the way the host's text system would report them.
std::vector<TextAttributes> attributesPerUnit(const MutableAttributedString& text) {
  std::vector<TextAttributes> result;
  for (std::size_t i = 0; i < text.length(); ++i) result.push_back(text.attributesAt(i));
  return result;
}

TEST(MutableAttributedStringTest, CountsUtf16Units) {
  struct Case {
    std::string text;
    std::size_t length;
  };
  const Case cases[] = {
      {"", 0},
      {"let x = 1\n", 10},
      {"\xC3\xA9t\xC3\xA9", 3},  // été
      {"\xE2\x82\xAC", 1},       // euro sign
      {"\xF0\x9F\x98\x80", 2},   // grinning face
      {"a\xF0\x9F\x98\x80z", 4},
      {"\xE6\x98\x9F\xE6\x98\x9F", 2},  // two CJK characters
      {std::string(20, 'x') + "\xF0\x9F\x94\xA5" + std::string(9, 'y'), 31},
  };
  for (const Case& c : cases) {
    const MutableAttributedString text(c.text, colored(1.0));
    EXPECT_EQ(text.string(), c.text);
    EXPECT_EQ(text.length(), c.length) << c.text;
    EXPECT_EQ(text.runCount(), c.text.empty() ? 0u : 1u);
  }
}

TEST(MutableAttributedStringTest, ReplacesIllFormedUtf8) {
  struct Case {
    std::string text;
    std::string expected;
    std::size_t length;
  };
  const std::string replacement = "\xEF\xBF\xBD";
  const Case cases[] = {
      {"a\xFF"
       "b",
       "a" + replacement + "b", 3},
      {"a\xC3", "a" + replacement, 2},                                      // cut short
      {"\xED\xA0\x80x", replacement + replacement + replacement + "x", 4},  // a surrogate
      {"\xC0\xAF", replacement + replacement, 2},                           // overlong
      {"\xF4\x90\x80\x80", replacement + replacement + replacement + replacement, 4},
      {"\xF0\x9F\x98", replacement, 1},  // one ill-formed part
  };
  for (const Case& c : cases) {
    const MutableAttributedString made(c.text, colored(1.0));
    EXPECT_EQ(made.string(), c.expected);
    EXPECT_EQ(made.length(), c.length);
    MutableAttributedString appended;
    appended.append(c.text, makeAttributeSet(colored(1.0)));
    EXPECT_EQ(appended, made);
  }
}

TEST(MutableAttributedStringTest, AppendKeepsRunsAndMergesEqualNeighbours) {
  const AttributeSet red = makeAttributeSet(colored(1.0));
  const AttributeSet blue = makeAttributeSet(colored(0.5));
  MutableAttributedString text;
  text.append("let ", red);
  text.append("x\xF0\x9F\x98\x80", blue);
  text.append(" = ", red);

  MutableAttributedString tail("1", makeAttributeSet(colored(1.0)));  // equal to red, not shared
  text.append(tail);
  text.append(MutableAttributedString());

  EXPECT_EQ(text.string(), "let x\xF0\x9F\x98\x80 = 1");
  EXPECT_EQ(text.length(), 11u);
  ASSERT_EQ(text.runCount(), 3u);
  NSRange effective;
  EXPECT_EQ(text.attributesAt(9, &effective), colored(1.0));
  EXPECT_EQ(effective, (NSRange{7, 4}));
  EXPECT_EQ(text.attributesAt(6, &effective), colored(0.5));  // second unit of the emoji
  EXPECT_EQ(effective, (NSRange{4, 3}));

  const AttributeRun middle = text.run(1);
  EXPECT_EQ(middle.range, (NSRange{4, 3}));
  EXPECT_EQ(middle.bytes, (StringRange{4, 9}));
  EXPECT_EQ(*middle.attributeSet, blue);
}

TEST(MutableAttributedStringTest, AppendToItself) {
  MutableAttributedString text("ab", colored(1.0));
  text.append("c", makeAttributeSet(colored(0.5)));
  text.append(text);
  EXPECT_EQ(text.string(), "abcabc");
  EXPECT_EQ(text.runCount(), 4u);
  EXPECT_EQ(text.attributesAt(5), colored(0.5));
}

TEST(MutableAttributedStringTest, AddAttributesReplacesOnlyTheGivenKeys) {
  MutableAttributedString text;
  text.append("if", makeAttributeSet(colored(1.0)));
  text.append(" x", makeAttributeSet({.font = kMenloBold}));
  const ParagraphStyle indent{TextAlignment::left, 16.32, 16.32};

  text.addAttributes({.font = kMenlo, .paragraphStyle = indent}, {0, text.length()});

  TextAttributes keyword = colored(1.0);
  keyword.font = kMenlo;
  keyword.paragraphStyle = indent;
  EXPECT_EQ(text.attributesAt(0), keyword);
  EXPECT_EQ(text.attributesAt(3), (TextAttributes{.font = kMenlo, .paragraphStyle = indent}));
  EXPECT_EQ(text.runCount(), 2u);
}

TEST(MutableAttributedStringTest, AddAttributesSplitsAndMergesRuns) {
  MutableAttributedString text("abcdef", colored(1.0));
  text.addAttributes({.link = "0: Import"}, {2, 2});
  ASSERT_EQ(text.runCount(), 3u);
  NSRange effective;
  EXPECT_EQ(text.attributesAt(2, &effective).link, "0: Import");
  EXPECT_EQ(effective, (NSRange{2, 2}));
  EXPECT_FALSE(text.attributesAt(4).link);

  // Covering the neighbours with the same link makes one run again.
  text.addAttributes({.link = "0: Import"}, {0, 6});
  EXPECT_EQ(text.runCount(), 1u);

  // Nothing to add or nothing covered: no change.
  const MutableAttributedString before = text;
  text.addAttributes({}, {0, 6});
  text.addAttributes({.font = kMenlo}, {3, 0});
  EXPECT_EQ(text, before);
  EXPECT_EQ(text.runCount(), 1u);
}

TEST(MutableAttributedStringTest, RangesWithEmojiCoverWholeCharacters) {
  // "a😀b😀": units a=0, 😀=1..2, b=3, 😀=4..5; bytes a=0, 😀=1..4, b=5, 😀=6..9.
  const std::string emoji = "\xF0\x9F\x98\x80";
  const MutableAttributedString text("a" + emoji + "b" + emoji, colored(1.0));
  struct Case {
    NSRange range;
    StringRange bytes;
  };
  const Case cases[] = {
      {{0, 6}, {0, 10}}, {{4, 2}, {6, 10}}, {{5, 1}, {6, 10}},  {{1, 1}, {1, 5}},
      {{2, 2}, {1, 6}},  {{3, 0}, {5, 5}},  {{6, 0}, {10, 10}}, {{0, 1}, {0, 1}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(text.byteRange(c.range), c.bytes) << c.range.location << "+" << c.range.length;
  }

  MutableAttributedString last = text;
  last.addAttributes({.font = kMenlo}, {4, 2});
  EXPECT_EQ(last.attributesAt(5).font, kMenlo);
  EXPECT_EQ(last.attributesAt(4).font, kMenlo);
  EXPECT_FALSE(last.attributesAt(3).font);

  // Half of a surrogate pair takes in the whole character.
  MutableAttributedString half = text;
  half.addAttributes({.font = kMenlo}, {2, 1});
  NSRange effective;
  EXPECT_EQ(half.attributesAt(1, &effective).font, kMenlo);
  EXPECT_EQ(effective, (NSRange{1, 2}));
}

TEST(MutableAttributedStringTest, EqualityIgnoresHowRunsWereMade) {
  const AttributeSet red = makeAttributeSet(colored(1.0));
  const AttributeSet alsoRed = makeAttributeSet(colored(1.0));
  MutableAttributedString pieces;
  pieces.append("ab", red);
  pieces.append("cd", alsoRed);
  const MutableAttributedString whole("abcd", red);
  EXPECT_EQ(pieces, whole);
  EXPECT_EQ(pieces.runCount(), 1u);

  MutableAttributedString restyled;
  restyled.append("ab", red);
  restyled.append("cd", makeAttributeSet(colored(0.5)));
  EXPECT_NE(restyled, whole);
  restyled.addAttributes(colored(1.0), {2, 2});
  EXPECT_EQ(restyled, whole);

  EXPECT_NE(MutableAttributedString("abcd", colored(0.5)), whole);
  EXPECT_NE(MutableAttributedString("abce", colored(1.0)), whole);
  EXPECT_EQ(MutableAttributedString("", colored(1.0)), MutableAttributedString());
  EXPECT_EQ(MutableAttributedString("x", AttributeSet()),
            MutableAttributedString("x", TextAttributes()));
}

// Each text size change adds new sets over the whole text; the ones left unused must not pile up.
TEST(MutableAttributedStringTest, RestylingOftenKeepsTheSetTableSmall) {
  MutableAttributedString text;
  for (int token = 0; token < 8; ++token) {
    text.append("tok\xF0\x9F\x98\x80 ", makeAttributeSet(colored(token / 8.0)));
  }
  const MutableAttributedString original = text;
  for (int size = 1; size <= 200; ++size) {
    text.addAttributes({.font = Font::fontWithNameOrSystemFont("Menlo Regular", size)},
                       {0, text.length()});
  }
  EXPECT_LE(text.attributeSetCount(), 64u);
  const Font last = Font::fontWithNameOrSystemFont("Menlo Regular", 200);
  for (std::size_t i = 0; i < text.length(); ++i) {
    TextAttributes expected = original.attributesAt(i);
    expected.font = last;
    ASSERT_EQ(text.attributesAt(i), expected) << i;
  }
  EXPECT_EQ(text.runCount(), original.runCount());
}

// A snippet carries a link set for every cell: past the first few, sets are found by value
// through a hash, and equal sets must still end up as one entry.
TEST(MutableAttributedStringTest, ManySetsKeepOneEntryPerValue) {
  const auto linked = [](int index) { return TextAttributes{.link = std::to_string(index)}; };
  const AttributeSet plain = makeAttributeSet(colored(0.25));
  MutableAttributedString text;
  for (int i = 0; i < 300; ++i) {
    text.append("ab", plain);
    text.append("c", makeAttributeSet(linked(i)));
  }
  ASSERT_EQ(text.attributeSetCount(), 301u);

  MutableAttributedString again;
  for (int i = 299; i >= 0; --i) again.append("d", makeAttributeSet(linked(i)));
  text.append(again);
  text.append("z", makeAttributeSet(colored(0.0)));
  text.append("ab", plain);
  text.append("z", makeAttributeSet(colored(-0.0)));
  EXPECT_EQ(text.attributeSetCount(), 302u);
  for (int i = 0; i < 300; ++i) {
    ASSERT_EQ(text.attributesAt(3 * static_cast<std::size_t>(i) + 2), linked(i)) << i;
    ASSERT_EQ(text.attributesAt(900 + static_cast<std::size_t>(i)), linked(299 - i)) << i;
  }

  // A copy finds the sets it was given as well.
  MutableAttributedString copy = text;
  copy.append("y", makeAttributeSet(linked(5)));
  EXPECT_EQ(copy.attributeSetCount(), text.attributeSetCount());
  EXPECT_EQ(copy.attributesAt(copy.length() - 1), linked(5));

  // Restyling drops the sets no run uses; those left are found again afterwards.
  text.addAttributes({.link = "all"}, {0, text.length()});
  const std::size_t restyled = text.attributeSetCount();
  text.append("e", makeAttributeSet(TextAttributes{.link = "all"}));
  text.append("f", makeAttributeSet(colored(0.25).addingAttributes({.link = "all"})));
  EXPECT_EQ(text.attributeSetCount(), restyled);
  EXPECT_EQ(text.attributesAt(text.length() - 1), colored(0.25).addingAttributes({.link = "all"}));
}

// A cleared string that had many sets, an index and emoji starts over like a new one.
TEST(MutableAttributedStringTest, ClearedStringIsLikeANewOne) {
  MutableAttributedString reused;
  for (int i = 0; i < 40; ++i) {
    reused.append("\xF0\x9F\x98\x80", makeAttributeSet(TextAttributes{.link = std::to_string(i)}));
  }
  reused.clear();
  EXPECT_TRUE(reused.empty());
  EXPECT_EQ(reused.length(), 0u);
  EXPECT_EQ(reused.runCount(), 0u);
  EXPECT_EQ(reused.attributeSetCount(), 0u);

  MutableAttributedString fresh;
  for (MutableAttributedString* text : {&reused, &fresh}) {
    text->append("\xC3\xA9t\xC3\xA9 ", makeAttributeSet(colored(0.5)));
    text->append("= 3", makeAttributeSet(TextAttributes{.link = "7"}));
  }
  EXPECT_EQ(reused, fresh);
  EXPECT_EQ(reused.length(), 7u);
  EXPECT_EQ(reused.attributeSetCount(), 2u);
  EXPECT_EQ(attributesPerUnit(reused), attributesPerUnit(fresh));
}

TEST(MutableAttributedStringTest, ShrinkingKeepsTheString) {
  MutableAttributedString text;
  text.reserve(1000, 100);
  text.append("let \xF0\x9F\x98\x80", makeAttributeSet(colored(0.5)));
  text.append(" = 1", makeAttributeSet(TextAttributes{.link = "0: Export"}));
  const MutableAttributedString before = text;
  text.shrinkToFit();
  EXPECT_EQ(text, before);
  text.append("\n", makeAttributeSet(colored(0.5)));
  EXPECT_EQ(text.string(), "let \xF0\x9F\x98\x80 = 1\n");
  EXPECT_EQ(text.attributesAt(text.length() - 1), colored(0.5));
}

TEST(MutableAttributedStringDeathTest, RangesPastTheEndAreProgrammingErrors) {
  const MutableAttributedString text("a\xF0\x9F\x98\x80", colored(1.0));
  const char* message = "Fatal error: Range out of bounds of the attributed string";
  EXPECT_DEATH(MutableAttributedString(text).addAttributes({.font = kMenlo}, {0, 4}), message);
  EXPECT_DEATH(MutableAttributedString(text).addAttributes({.font = kMenlo}, {4, 0}), message);
  EXPECT_DEATH(MutableAttributedString(text).addAttributes({.font = kMenlo}, {1, SIZE_MAX}),
               message);
  EXPECT_DEATH(text.byteRange({2, 2}), message);
  EXPECT_DEATH(text.attributesAt(3), "Fatal error: Index out of bounds of the attributed string");
}

// A straightforward model: every UTF-16 unit with its own attributes.
struct Model {
  std::string text;
  std::vector<TextAttributes> units;
};

// Random appends and attribute additions, checked against the model after every step.
TEST(MutableAttributedStringTest, AgreesWithPerUnitModel) {
  const std::uint32_t seed = std::random_device{}();
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 random(seed);
  const auto pick = [&](std::size_t count) {
    return std::uniform_int_distribution<std::size_t>(0, count - 1)(random);
  };
  const std::vector<std::string> pieces = {"a",  "let ",          "\xC3\xA9", "\xF0\x9F\x98\x80",
                                           "\n", "\xE2\x82\xAC!", ""};
  const std::vector<std::size_t> pieceUnits = {1, 4, 1, 2, 1, 2, 0};
  const std::vector<TextAttributes> looks = {
      {},
      colored(1.0),
      colored(0.5),
      {.font = kMenlo},
      {.link = "01: Export"},
      {.font = kMenloBold, .foregroundColor = Color::greenColor()}};

  for (int round = 0; round < 40; ++round) {
    MutableAttributedString text;
    Model model;
    for (int step = 0; step < 30; ++step) {
      const std::size_t action = pick(3);
      if (action == 0) {
        const std::size_t piece = pick(pieces.size());
        const TextAttributes& look = looks[pick(looks.size())];
        text.append(pieces[piece], makeAttributeSet(look));
        model.text += pieces[piece];
        model.units.insert(model.units.end(), pieceUnits[piece], look);
      } else if (action == 1) {
        const MutableAttributedString copy = text;
        text.append(copy);
        model.text += model.text;
        const std::vector<TextAttributes> units = model.units;
        model.units.insert(model.units.end(), units.begin(), units.end());
      } else if (!model.units.empty()) {
        const std::size_t location = pick(model.units.size() + 1);
        const std::size_t length = pick(model.units.size() - location + 1);
        const TextAttributes& look = looks[pick(looks.size())];
        text.addAttributes(look, {location, length});
        // The model widens the range to whole characters the same way.
        const StringRange bytes = text.byteRange({location, length});
        std::size_t first = location;
        std::size_t end = location + length;
        if (length > 0) {
          while (first > 0 && text.byteRange({first - 1, 1}).end > bytes.begin) --first;
          while (end < model.units.size() && text.byteRange({end, 1}).begin < bytes.end) ++end;
        }
        for (std::size_t i = first; i < end; ++i) {
          model.units[i] = model.units[i].addingAttributes(look);
        }
      }
      ASSERT_EQ(text.string(), model.text);
      ASSERT_EQ(text.length(), model.units.size());
      ASSERT_EQ(attributesPerUnit(text), model.units);
    }
    // Runs tile the text and no two neighbours are equal.
    std::size_t unit = 0;
    std::size_t byte = 0;
    const TextAttributes* previous = nullptr;
    for (const AttributeRun run : text.runs()) {
      EXPECT_EQ(run.range.location, unit);
      EXPECT_EQ(run.bytes.begin, byte);
      EXPECT_GT(run.range.length, 0u);
      if (previous) {
        EXPECT_NE(*previous, run.attributes());
      }
      previous = &run.attributes();
      unit = run.range.end();
      byte = run.bytes.end;
    }
    EXPECT_EQ(unit, text.length());
    EXPECT_EQ(byte, text.string().size());

    // The same text rebuilt one character at a time compares equal.
    MutableAttributedString rebuilt;
    for (std::size_t i = 0; i < text.length();) {
      const StringRange character = text.byteRange({i, 1});
      rebuilt.append(std::string_view(text.string()).substr(character.begin, character.size()),
                     makeAttributeSet(model.units[i]));
      i += character.size() == 4 ? 2 : 1;
    }
    EXPECT_EQ(rebuilt, text);
  }
}

}  // namespace
}  // namespace tessary::platform
