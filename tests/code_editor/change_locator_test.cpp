#include "tessary/code_editor/change_locator.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "analysis_test_support.h"
#include "code_editor/current_line_finder.h"
#include "support/generated_effects.h"
#include "support/test_seed.h"

namespace tessary::code_editor {
namespace {

// Each row: a record's line, an edited text, and the record's current line in it, as the locator,
// the finder and the reference search find it. A record without "=" or with a cell header is never
// looked for: its current line is the record itself.
TEST(ChangeLocatorTest, CurrentLine) {
  const std::string header =
      "\n\nlet image1 = NSImage(named: \"a\")\nlet cell1 = CAEmitterCell()\n";
  const std::string emoji = "cell1.name = \"\xF0\x9F\x8E\x86 \xC3\xBC\"";
  const std::string rate = "cell1.birthRate = 120", spin = "cell1.spin = 1";
  // clang-format off
  const std::vector<std::tuple<std::string, std::string, std::optional<std::string>>> rows{
      {rate, "a\ncell1.birthRate = 150\nb", "cell1.birthRate = 150"},
      {rate, "cell1.birthrate = 150", std::nullopt},
      {"particlesLayer.emitterPosition = CGPoint(x: 10.0, y: 20.0)", "particlesLayer.emitterPosition = CGPoint(x: 1.0)\nparticlesLayer.x = 1", "particlesLayer.emitterPosition = CGPoint(x: 1.0)"},
      {header, "anything", header}, {"particlesLayer", "other", "particlesLayer"},
      {rate, "cell1.birthRate =  120", "cell1.birthRate =  120"},
      {rate, "x\n \t cell1.birthRate = 5", "cell1.birthRate = 5"},
      // Only where it begins a line: a name holding the line's text does not stand in for it.
      {"cell2.birthRate = 120", "x cell2.birthRate = 5\n", std::nullopt},
      {"cell2.birthRate = 120", "cell2.name = \"x cell2.birthRate = 5\"\nx cell2.birthRate = 6\ncell2.birthRate = 7\n", "cell2.birthRate = 7"},
      {rate, "cell1.birthRate = 1\ncell1.birthRate = 2", "cell1.birthRate = 1"},
      {"cell1.lifetime = 2", "cell11.lifetime = 3\nsubcell1_1.lifetime = 4\ncell1.lifetime = 5", "cell1.lifetime = 5"},
      // Pattern characters are literal; the fixed beginning ends at the line's last "=".
      {"cell1.name = \"(.*)[=x\"", "cell1.name = \"abc=x\"\ncell1.name = \"(.*)[=y\"", "cell1.name = \"(.*)[=y\""},
      {"cell1.name = \"a=b\"", "cell1.name = \"c\"\nx", std::nullopt},
      {"first\nsecond = 2", "second = 3", "second = 3"},
      // Every line terminator ends a line.
      {spin, "a\xE2\x80\xA8 cell1.spin = 5\xE2\x80\xA9z", "cell1.spin = 5"},
      {spin, "cell1.spin = 5\xC2\x85z", "cell1.spin = 5"}, {spin, "x\r\ncell1.spin = 5\r\nz", "cell1.spin = 5"},
      {spin, "x\vcell1.spin = 5\fz", "cell1.spin = 5"}, {"cell1.name = \"a\"", emoji, emoji}, {spin, "", std::nullopt},
  };
  // clang-format on
  for (const auto& [record, newString, expected] : rows) {
    SCOPED_TRACE(::testing::PrintToString(newString));
    EXPECT_EQ(ChangeLocator::currentLine(record, newString), expected);
    const auto reference = testing::referenceCurrentLine(record, newString);
    EXPECT_EQ(reference ? std::optional(reference->text) : std::nullopt, expected);
    const CurrentLineFinder finder({CodeHistory(record, {}, store::CellProperty::spin, 0, {})});
    const auto found = finder.currentLines(newString)[0];
    const bool looked = ChangeLocator::fixedBeginning(record).has_value();
    EXPECT_EQ(found ? std::optional(newString.substr(found->begin, found->size())) : std::nullopt,
              looked ? expected : std::nullopt);
  }
}

// Lines of generated snippets, edited at random, are found alike by the locator, the finder (all
// records in one pass) and a regular-expression search.
TEST(ChangeLocatorTest, FinderAndLocatorAgreeWithTheRegularExpressionSearch) {
  const std::vector<std::string> insertions{
      "x cell1.birthRate = 5",
      "\tcell1.birthRate = 6",
      "cell1.birthRate = 1.2.",
      "  particlesLayer.emitterSize = CGSize(width: 1.0, height: 2.0)",
      "cell1.name = \"a=b\" = 3",
      "\xE2\x80\xA8",
      "\r\n",
      "subcell1_1.velocity = -4",
      "=",
      "cell1.color ="};
  tessary::testing::SeededRandom random;
  for (int round = 0; round < 40; ++round) {
    const auto layer = tessary::testing::generateEffect(random());
    const auto built =
        testing::buildSnippet(*layer, round % 2 ? CodePlatform::iOS : CodePlatform::macOS);
    std::string text = built.text;
    for (int edit = 0; edit < 6; ++edit) {
      std::size_t at = random() % (text.size() + 1);
      while (at > 0 && text[at - 1] != '\n') --at;
      if (random() % 3 == 0) {
        text.erase(at, text.find('\n', at) - at);  // empties a whole line
      } else {
        text.insert(at, insertions[random() % insertions.size()] + "\n");
      }
    }
    const CurrentLineFinder finder(built.records);
    const auto found = finder.currentLines(text);
    for (std::size_t i = 0; i < built.records.size(); ++i) {
      const std::string& record = built.records[i].string();
      const auto reference = testing::referenceCurrentLine(record, text);
      ASSERT_EQ(ChangeLocator::currentLine(record, text),
                reference ? std::optional(reference->text) : std::nullopt)
          << record;
      ASSERT_EQ(found[i], reference ? reference->range : std::nullopt) << record;
      if (found[i]) {
        EXPECT_EQ(finder.isAsBuilt(i, reference->text), reference->text == record) << record;
      }
    }
  }
}

TEST(ChangeLocatorTest, LinePatterns) {
  const std::string colour = "(red: 1/255.0, green: 2/255.0, blue: 3/255.0, alpha: 1.0).cgColor\n";
  const std::string background = "particlesLayer.backgroundColor = NSColor" + colour;
  constexpr auto mac = CodePlatform::macOS, iOS = CodePlatform::iOS;
  using Cell = store::CellProperty;
  using Layer = store::LayerProperty;
  // clang-format off
  struct Row {
    std::string newString;
    CodePlatform platform;
    store::ConfigType type;
    bool expected;
  };
  const std::vector<Row> rows{
      {background, mac, Layer::background, true}, {background, iOS, Layer::background, false},
      {"cell1.color = UIColor(red: 1/255.0, 2/255.0, blue: 3/255.0, alpha: 1.0).cgColor", iOS, Cell::color, false},
      {"cell1.color = UIColor" + colour, iOS, Cell::color, true},
      // Labels may come from other lines.
      {"subcell2_1.color = UIColor(red:\nx, green:, blue:, alpha:).cgColor", iOS, Cell::color, true},
      {"particlesLayer.emitterPosition = CGPoint(x: 1.0, y: 2.0)", mac, Layer::emitterPositionX, true},
      {"particlesLayer.emitterPosition = CGPoint(x: 1.0)", mac, Layer::emitterPositionX, false},
      {"particlesLayer.emitterSize = CGSize(width: 1.0, height: 2.0)", iOS, Layer::emitterWidth, true},
      {"subcell3_2.birthRate = 4", iOS, Cell::birthRate, true}, {"cell1.birthRate4", iOS, Cell::birthRate, false},
      // Lines without numbers to read have no pattern.
      {"particlesLayer.emitterShape = .point", iOS, Layer::emitterShape, false},
      {"cell1.name = \"a\"", iOS, Cell::name, false},
      {"let size = CGSize(width: 4.0, height: 3.0)", iOS, Layer::viewWidth, false},
  };
  // clang-format on
  for (const auto& [newString, platform, type, expected] : rows) {
    EXPECT_EQ(ChangeLocator::matchesLinePatterns(newString, platform, type), expected) << newString;
  }
}

}  // namespace
}  // namespace tessary::code_editor
