#include "tessary/platform/attributed_string.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <tuple>

#include "support/golden_file.h"
#include "support/test_seed.h"
#include "tessary/platform/utf16_length.h"
#include "tessary/platform/well_formed_utf8.h"

namespace tessary::platform {
namespace {

TextAttributes colored(double red) {
  return TextAttributes{.foregroundColor = Color::colorWithRed(red, 0.0, 0.0, 1.0)};
}

const Font kMenlo = *Font::fontWithName("Menlo Regular", 12.0);
const std::string kEmoji = "\xF0\x9F\x98\x80";

std::vector<TextAttributes> attributesPerUnit(const MutableAttributedString& text) {
  std::vector<TextAttributes> result;
  for (std::size_t i = 0; i < text.length(); ++i) result.push_back(text.attributesAt(i));
  return result;
}

// Per text: as kept, every ill-formed part one U+FFFD, whether given whole or appended; its length
// in UTF-16 units; where the first ill-formed part starts.
TEST(MutableAttributedStringTest, MeasuresAndRepairsUtf8) {
  testing::expectCasesMatchGolden("utf8.cases", 1, [](const auto& fields) {
    const MutableAttributedString made(fields[0], colored(1.0));
    MutableAttributedString appended;
    appended.append(fields[0], makeAttributeSet(colored(1.0)));
    EXPECT_EQ(appended, made);
    EXPECT_EQ(made.runCount(), fields[0].empty() ? 0u : 1u);
    EXPECT_EQ(wellFormedUtf8(fields[0]), made.string());
    EXPECT_EQ(isWellFormedUtf8(fields[0]), made.string() == fields[0]);
    const std::optional<std::size_t> illFormed = firstIllFormedUtf8Offset(fields[0]);
    return made.string() + " | " + std::to_string(made.length()) + " | " +
           (illFormed ? std::to_string(*illFormed) : "-");
  });
}

TEST(MutableAttributedStringTest, ByteRangesCoverWholeCharacters) {
  // Units a=0, emoji=1..2, b=3, emoji=4..5; bytes a=0, emoji=1..4, b=5, emoji=6..9.
  const MutableAttributedString text("a" + kEmoji + "b" + kEmoji, colored(1.0));
  const std::pair<NSRange, StringRange> rows[] = {
      {{0, 6}, {0, 10}}, {{4, 2}, {6, 10}}, {{5, 1}, {6, 10}},  {{1, 1}, {1, 5}},
      {{2, 2}, {1, 6}},  {{3, 0}, {5, 5}},  {{6, 0}, {10, 10}}, {{0, 1}, {0, 1}}};
  for (const auto& [range, bytes] : rows) EXPECT_EQ(text.byteRange(range), bytes) << range.location;
}

// Each text size change adds new sets over the whole text; the ones left unused must not pile up.
TEST(MutableAttributedStringTest, RestylingOftenKeepsTheSetTableSmall) {
  MutableAttributedString text;
  for (int token = 0; token < 8; ++token) {
    text.append("tok" + kEmoji + " ", makeAttributeSet(colored(token / 8.0)));
  }
  std::vector<TextAttributes> expected = attributesPerUnit(text);
  for (int size = 1; size <= 200; ++size) {
    text.addAttributes({.font = Font::fontWithNameOrSystemFont("Menlo Regular", size)},
                       {0, text.length()});
  }
  EXPECT_LE(text.attributeSetCount(), 64u);
  for (TextAttributes& attributes : expected) {
    attributes =
        attributes.addingAttributes({.font = Font::fontWithNameOrSystemFont("Menlo Regular", 200)});
  }
  EXPECT_EQ(attributesPerUnit(text), expected);
  EXPECT_EQ(text.runCount(), 8u);
}

TEST(MutableAttributedStringDeathTest, RangesPastTheEndAreProgrammingErrors) {
  const MutableAttributedString text("a" + kEmoji, colored(1.0));
  const char* message = "Fatal error: Range out of bounds of the attributed string";
  for (const NSRange range : {NSRange{0, 4}, NSRange{4, 0}, NSRange{1, SIZE_MAX}}) {
    EXPECT_DEATH(MutableAttributedString(text).addAttributes({.font = kMenlo}, range), message);
  }
  EXPECT_DEATH(text.byteRange({2, 2}), message);
  EXPECT_DEATH(text.attributesAt(3), "Fatal error: Index out of bounds of the attributed string");
}

// Runs tile the text and no two neighbours are equal; no two sets of the table are equal.
void expectCanonical(const MutableAttributedString& text) {
  NSRange units{0, 0};
  StringRange bytes{0, 0};
  const TextAttributes* previous = nullptr;
  for (const AttributeRun run : text.runs()) {
    EXPECT_EQ(std::tuple(run.range.location, run.bytes.begin), std::tuple(units.end(), bytes.end));
    EXPECT_TRUE(run.range.length > 0 && (!previous || *previous != run.attributes()));
    std::tie(units, bytes, previous) = std::tuple(run.range, run.bytes, &run.attributes());
  }
  EXPECT_EQ(std::tuple(units.end(), bytes.end), std::tuple(text.length(), text.string().size()));
  for (std::size_t i = 0; i < text.attributeSetCount(); ++i) {
    for (std::size_t j = 0; j < i; ++j) {
      ASSERT_NE(*text.attributeSet(i), *text.attributeSet(j)) << "sets " << j << " and " << i;
    }
  }
}

// Random appends (of text, of strings, of parts of strings, of the string itself), attribute
// additions, copies, clearing and shrinking, checked after every step against a straightforward
// model: the text and every UTF-16 unit's attributes. Many link looks push the set table onto the
// index by hash.
TEST(MutableAttributedStringTest, AgreesWithPerUnitModel) {
  tessary::testing::SeededRandom random;
  const auto pick = [&](std::size_t count) { return random() % count; };
  const std::string pieces[] = {"a", "let ",         "\xC3\xA9", kEmoji, "\n", "\xE2\x82\xAC!",
                                "",  "\xF0\x9F\x98", "\xFF\xC3"};
  std::vector<TextAttributes> looks = {
      {},
      colored(1.0),
      colored(0.0),
      colored(-0.0),
      {.font = kMenlo},
      {.font = *Font::fontWithName("Menlo Bold", 12.0), .foregroundColor = Color::greenColor()},
      {.paragraphStyle = ParagraphStyle{TextAlignment::left, 1, 1}}};
  for (int link = 0; link < 40; ++link)
    looks.push_back({.link = std::to_string(link) + ": Export"});

  for (int round = 0; round < 40; ++round) {
    MutableAttributedString text;
    std::string modelText;
    std::vector<TextAttributes> model;
    for (int step = 0; step < 60; ++step) {
      const std::size_t action = pick(100);
      const std::string& piece = pieces[pick(std::size(pieces))];
      const TextAttributes& look = looks[pick(looks.size())];
      if (action < 40) {
        text.append(piece, makeAttributeSet(look));
      } else if (action < 50) {
        text.append(MutableAttributedString(piece, look));
      }
      if (action < 50) {
        modelText += wellFormedUtf8(piece);
        model.insert(model.end(), utf16Length(wellFormedUtf8(piece)), look);
      } else if (action < 53) {
        // A part of another string, between what comes before it and what follows.
        MutableAttributedString source(pieces[pick(std::size(pieces))], looks[pick(looks.size())]);
        const MutableAttributedString::Mark mark = source.mark();
        for (int i = 0; i < 3; ++i) {
          const std::string& partPiece = pieces[pick(std::size(pieces))];
          const TextAttributes& partLook = looks[pick(looks.size())];
          source.append(partPiece, makeAttributeSet(partLook));
          modelText += wellFormedUtf8(partPiece);
          model.insert(model.end(), utf16Length(wellFormedUtf8(partPiece)), partLook);
        }
        const MutableAttributedString::Part part = source.partSince(mark);
        source.append(piece, makeAttributeSet(look));
        std::vector<std::uint32_t> ownSets;
        text.appendPart(source, part, ownSets);
      } else if (action < 55 && model.size() < 200) {
        text.append(text);
        modelText += modelText;
        const std::vector<TextAttributes> units = model;
        model.insert(model.end(), units.begin(), units.end());
      } else if (action < 85 && !model.empty()) {
        const std::size_t location = pick(model.size() + 1);
        const std::size_t length = pick(model.size() - location + 1);
        text.addAttributes(look, {location, length});
        // The model widens the range to whole characters the same way.
        const StringRange bytes = text.byteRange({location, length});
        std::size_t first = location, end = location + length;
        while (length > 0 && first > 0 && text.byteRange({first - 1, 1}).end > bytes.begin) --first;
        while (length > 0 && end < model.size() && text.byteRange({end, 1}).begin < bytes.end)
          ++end;
        for (std::size_t i = first; i < end; ++i) model[i] = model[i].addingAttributes(look);
      } else if (action < 90) {
        text = MutableAttributedString(text);
      } else if (action < 92) {
        text.clear();
        modelText.clear();
        model.clear();
      } else if (action < 96) {
        text.shrinkToFit();
      } else {
        text.reserve(pick(1000), pick(100));
      }
      ASSERT_EQ(text.string(), modelText);
      ASSERT_EQ(text.empty(), model.empty());
      ASSERT_EQ(attributesPerUnit(text), model);
    }
    expectCanonical(text);

    // The same text rebuilt one character at a time compares equal, and unequal once one
    // character looks different.
    MutableAttributedString rebuilt;
    for (std::size_t i = 0; i < text.length();) {
      const StringRange character = text.byteRange({i, 1});
      rebuilt.append(std::string_view(text.string()).substr(character.begin, character.size()),
                     makeAttributeSet(model[i]));
      i += character.size() == 4 ? 2 : 1;
    }
    EXPECT_EQ(rebuilt, text);
    if (!text.empty()) {
      rebuilt.addAttributes({.link = "elsewhere"}, {text.length() - 1, 1});
      EXPECT_NE(rebuilt, text);
    }
  }
}

}  // namespace
}  // namespace tessary::platform
