#include "tessary/platform/attributed_string.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/test_seed.h"

namespace tessary::platform {
namespace {

TextAttributes colored(double red) {
  return TextAttributes{.foregroundColor = Color::colorWithRed(red, 0.0, 0.0, 1.0)};
}

const Font kMenlo = *Font::fontWithName("Menlo Regular", 12.0);

// The attributes of every UTF-16 unit, the way the host's text system would report them.
std::vector<TextAttributes> attributesPerUnit(const MutableAttributedString& text) {
  std::vector<TextAttributes> result;
  for (std::size_t i = 0; i < text.length(); ++i) result.push_back(text.attributesAt(i));
  return result;
}

// Each maximal ill-formed part of the UTF-8 becomes one U+FFFD, made or appended alike.
TEST(MutableAttributedStringTest, CountsUtf16UnitsAndReplacesIllFormedUtf8) {
  const std::string r = "\xEF\xBF\xBD";
  const struct {
    std::string text, expected;
    std::size_t length;
  } cases[] = {
      {"", "", 0},
      {"\xC3\xA9t\xC3\xA9", "\xC3\xA9t\xC3\xA9", 3},
      {"\xE2\x82\xAC", "\xE2\x82\xAC", 1},
      {"a\xF0\x9F\x98\x80z", "a\xF0\x9F\x98\x80z", 4},
      {"a\xFF", "a" + r, 2},
      {"a\xC3", "a" + r, 2},
      {"\xED\xA0\x80x", r + r + r + "x", 4},
      {"\xC0\xAF", r + r, 2},
      {"\xF4\x90\x80\x80", r + r + r + r, 4},
      {"\xF0\x9F\x98", r, 1},
  };
  for (const auto& c : cases) {
    const MutableAttributedString made(c.text, colored(1.0));
    EXPECT_EQ(made.string(), c.expected);
    EXPECT_EQ(made.length(), c.length);
    EXPECT_EQ(made.runCount(), c.text.empty() ? 0u : 1u);
    MutableAttributedString appended;
    appended.append(c.text, makeAttributeSet(colored(1.0)));
    EXPECT_EQ(appended, made);
  }
}

TEST(MutableAttributedStringTest, UnitRangesCoverWholeCharactersInBytes) {
  // "a😀b😀": units a=0, 😀=1..2, b=3, 😀=4..5; bytes a=0, 😀=1..4, b=5, 😀=6..9.
  const MutableAttributedString text(
      "a\xF0\x9F\x98\x80"
      "b\xF0\x9F\x98\x80",
      colored(1.0));
  const struct {
    NSRange range;
    StringRange bytes;
  } cases[] = {{{0, 6}, {0, 10}}, {{4, 2}, {6, 10}}, {{5, 1}, {6, 10}},  {{1, 1}, {1, 5}},
               {{2, 2}, {1, 6}},  {{3, 0}, {5, 5}},  {{6, 0}, {10, 10}}, {{0, 1}, {0, 1}}};
  for (const auto& c : cases) {
    EXPECT_EQ(text.byteRange(c.range), c.bytes) << c.range.location << "+" << c.range.length;
  }
  EXPECT_NE(MutableAttributedString("abcd", colored(0.5)),
            MutableAttributedString("abcd", colored(1.0)));
  EXPECT_NE(MutableAttributedString("abce", colored(1.0)),
            MutableAttributedString("abcd", colored(1.0)));
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
    ASSERT_EQ(text.attributesAt(i), original.attributesAt(i).addingAttributes({.font = last})) << i;
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
  MutableAttributedString copy = text;  // a copy finds the sets it was given as well
  copy.append("y", makeAttributeSet(linked(5)));
  EXPECT_EQ(copy.attributeSetCount(), text.attributeSetCount());
  // Restyling drops the sets no run uses; those left are found again afterwards.
  text.addAttributes({.link = "all"}, {0, text.length()});
  const std::size_t restyled = text.attributeSetCount();
  text.append("e", makeAttributeSet(TextAttributes{.link = "all"}));
  text.append("f", makeAttributeSet(colored(0.25).addingAttributes({.link = "all"})));
  EXPECT_EQ(text.attributeSetCount(), restyled);
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

// Random appends (of pieces, of itself), attribute additions, clearing and shrinking, checked
// after every step against a plain model: every UTF-16 unit with its own attributes.
TEST(MutableAttributedStringTest, AgreesWithPerUnitModel) {
  testing::SeededRandom random;
  const auto pick = [&](std::size_t count) {
    return std::uniform_int_distribution<std::size_t>(0, count - 1)(random);
  };
  // Each piece as given, as stored (ill-formed parts replaced) and its UTF-16 units.
  const struct {
    std::string given, stored;
    std::size_t units;
  } pieces[] = {{"a", "a", 1},
                {"let ", "let ", 4},
                {"\xC3\xA9", "\xC3\xA9", 1},
                {"\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80", 2},
                {"\n", "\n", 1},
                {"\xE2\x82\xAC!", "\xE2\x82\xAC!", 2},
                {"", "", 0},
                {"\xF0\x9F\x98", "\xEF\xBF\xBD", 1},
                {"\xFF\xC3", "\xEF\xBF\xBD\xEF\xBF\xBD", 2}};
  const TextAttributes looks[] = {
      {},
      colored(1.0),
      colored(0.5),
      {.font = kMenlo},
      {.link = "01: Export"},
      {.font = *Font::fontWithName("Menlo Bold", 12.0), .foregroundColor = Color::greenColor()}};
  for (int round = 0; round < 40; ++round) {
    MutableAttributedString text;
    text.reserve(100, 10);
    std::string modelText;
    std::vector<TextAttributes> units;
    for (int step = 0; step < 30; ++step) {
      const std::size_t action = pick(12);
      if (action < 5) {
        const auto& piece = pieces[pick(std::size(pieces))];
        const TextAttributes& look = looks[pick(std::size(looks))];
        text.append(piece.given, makeAttributeSet(look));
        modelText += piece.stored;
        units.insert(units.end(), piece.units, look);
      } else if (action < 7) {
        text.append(MutableAttributedString(text));
        modelText += modelText;
        const std::vector<TextAttributes> copy = units;
        units.insert(units.end(), copy.begin(), copy.end());
      } else if (action == 7) {
        text.clear();
        modelText.clear();
        units.clear();
        ASSERT_TRUE(text.empty());
        ASSERT_EQ(text.runCount() + text.attributeSetCount(), 0u);
      } else if (action == 8) {
        text.shrinkToFit();
      } else if (!units.empty()) {
        const std::size_t location = pick(units.size() + 1);
        const std::size_t length = pick(units.size() - location + 1);
        const TextAttributes& look = looks[pick(std::size(looks))];
        text.addAttributes(look, {location, length});
        // Half of a surrogate pair takes in the whole character.
        std::size_t first = location;
        std::size_t end = location + length;
        if (length > 0) {
          if (first > 0 && text.byteRange({first - 1, 1}) == text.byteRange({first, 1})) --first;
          if (end < units.size() && text.byteRange({end - 1, 1}) == text.byteRange({end, 1})) ++end;
        }
        for (std::size_t i = first; i < end; ++i) units[i] = units[i].addingAttributes(look);
      }
      ASSERT_EQ(text.string(), modelText);
      ASSERT_EQ(attributesPerUnit(text), units);
    }
    // Runs tile the text and no two neighbours are equal.
    std::size_t unit = 0;
    std::size_t byte = 0;
    const TextAttributes* previous = nullptr;
    for (const AttributeRun run : text.runs()) {
      EXPECT_EQ(run.range.location, unit);
      EXPECT_EQ(run.bytes.begin, byte);
      EXPECT_GT(run.range.length, 0u);
      EXPECT_TRUE(previous == nullptr || *previous != run.attributes());
      previous = &run.attributes();
      unit = run.range.end();
      byte = run.bytes.end;
    }
    EXPECT_EQ(unit, text.length());
    EXPECT_EQ(byte, text.string().size());
    // The same text rebuilt one character at a time, each with its own set, compares equal.
    MutableAttributedString rebuilt;
    for (std::size_t i = 0; i < text.length();) {
      const StringRange character = text.byteRange({i, 1});
      rebuilt.append(std::string_view(text.string()).substr(character.begin, character.size()),
                     makeAttributeSet(units[i]));
      i += character.size() == 4 ? 2 : 1;
    }
    EXPECT_EQ(rebuilt, text);
  }
}

}  // namespace
}  // namespace tessary::platform
