#include "tessary/code_editor/change_locator.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "analysis_test_support.h"
#include "tessary/code_editor/current_line_finder.h"

namespace tessary::code_editor {
namespace {

using store::ConfigType;

struct CurrentLineRow {
  std::string name;
  std::string record;
  std::string newString;
  std::optional<std::string> expected;
};

std::vector<CurrentLineRow> currentLineRows() {
  const std::string position = "particlesLayer.emitterPosition = CGPoint(x: 10.0, y: 20.0)";
  return {
      {"edited number", "cell1.birthRate = 120", "a\ncell1.birthRate = 150\nb",
       "cell1.birthRate = 150"},
      {"edited beginning", "cell1.birthRate = 120", "cell1.birthrate = 150", std::nullopt},
      {"position line", position,
       "particlesLayer.emitterPosition = CGPoint(x: 10.0, y: 25.0)\nparticlesLayer.x = 1",
       "particlesLayer.emitterPosition = CGPoint(x: 10.0, y: 25.0)"},
      {"cell header", "\n\nlet image1 = NSImage(named: \"a\")\nlet cell1 = CAEmitterCell()\n",
       "anything", "\n\nlet image1 = NSImage(named: \"a\")\nlet cell1 = CAEmitterCell()\n"},
      {"no equals sign", "particlesLayer", "other", "particlesLayer"},
      {"blank added after the equals sign", "cell1.birthRate = 120", "cell1.birthRate =  120",
       "cell1.birthRate =  120"},
      {"indented with blanks and tabs", "cell1.birthRate = 120", "x\n \t cell1.birthRate = 5",
       "cell1.birthRate = 5"},
      {"last line without newline", "cell1.birthRate = 120", "cell1.birthRate = 5",
       "cell1.birthRate = 5"},
      {"only inside another line", "cell2.birthRate = 120", "x cell2.birthRate = 5\n",
       std::nullopt},
      {"a name holding the line's text comes first", "cell2.birthRate = 120",
       "cell2.name = \"x cell2.birthRate = 5\"\nx cell2.birthRate = 6\ncell2.birthRate = 7\n",
       "cell2.birthRate = 7"},
      {"first of duplicated lines", "cell1.birthRate = 120",
       "cell1.birthRate = 1\ncell1.birthRate = 2", "cell1.birthRate = 1"},
      {"another cell's number is no prefix", "cell1.lifetime = 2",
       "cell11.lifetime = 3\nsubcell1_1.lifetime = 4\ncell1.lifetime = 5", "cell1.lifetime = 5"},
      {"pattern characters are literal", "cell1.name = \"(.*)[=x\"",
       "cell1.name = \"abc=x\"\ncell1.name = \"(.*)[=y\"", "cell1.name = \"(.*)[=y\""},
      {"last equals sign of the line", "cell1.name = \"a=b\"", "cell1.name = \"c\"\nx",
       std::nullopt},
      {"first line with an equals sign", "first\nsecond = 2", "second = 3", "second = 3"},
      {"line separator", "cell1.spin = 1", "a\xE2\x80\xA8 cell1.spin = 5\xE2\x80\xA9z",
       "cell1.spin = 5"},
      {"next line", "cell1.spin = 1", "cell1.spin = 5\xC2\x85z", "cell1.spin = 5"},
      {"carriage return and line feed", "cell1.spin = 1", "x\r\ncell1.spin = 5\r\nz",
       "cell1.spin = 5"},
      {"vertical tab and form feed", "cell1.spin = 1", "x\vcell1.spin = 5\fz", "cell1.spin = 5"},
      {"text outside ASCII", "cell1.name = \"a\"", "cell1.name = \"\xF0\x9F\x8E\x86 \xC3\xBC\"",
       "cell1.name = \"\xF0\x9F\x8E\x86 \xC3\xBC\""},
      {"empty text", "cell1.spin = 1", "", std::nullopt},
  };
}

TEST(ChangeLocatorTest, CurrentLine) {
  for (const CurrentLineRow& row : currentLineRows()) {
    EXPECT_EQ(ChangeLocator::currentLine(row.record, row.newString), row.expected) << row.name;
    const auto reference = testing::referenceCurrentLine(row.record, row.newString);
    EXPECT_EQ(reference ? std::optional(reference->text) : std::nullopt, row.expected)
        << "reference: " << row.name;
    const CurrentLineFinder finder(
        {CodeHistory(row.record, {}, store::CellProperty::spin, 0, std::nullopt)});
    const auto found = finder.currentLines(row.newString)[0];
    if (ChangeLocator::fixedBeginning(row.record)) {
      EXPECT_EQ(
          found ? std::optional(row.newString.substr(found->begin, found->size())) : std::nullopt,
          row.expected)
          << "finder: " << row.name;
    } else {
      EXPECT_FALSE(found) << "finder: " << row.name;
    }
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
  const std::uint64_t seed = std::random_device{}();
  std::mt19937_64 random(seed);
  for (int round = 0; round < 40; ++round) {
    const auto layer = testing::generatedEffect(random, 3, 2);
    const auto platform = round % 2 == 0 ? CodePlatform::macOS : CodePlatform::iOS;
    const auto built = testing::buildSnippet(*layer, platform);
    std::string text = built.text;
    for (int edit = 0; edit < 6; ++edit) {
      std::size_t at = std::uniform_int_distribution<std::size_t>(0, text.size())(random);
      while (at > 0 && text[at - 1] != '\n') --at;
      const auto& inserted = insertions[random() % insertions.size()];
      if (random() % 3 == 0) {
        text.erase(at, text.find('\n', at) - at);  // empties a whole line
      } else {
        text.insert(at, inserted + "\n");
      }
    }
    const CurrentLineFinder finder(built.records);
    const auto found = finder.currentLines(text);
    for (std::size_t i = 0; i < built.records.size(); ++i) {
      const std::string& record = built.records[i].string();
      const auto located = ChangeLocator::currentLine(record, text);
      const auto reference = testing::referenceCurrentLine(record, text);
      ASSERT_EQ(located, reference ? std::optional(reference->text) : std::nullopt)
          << "seed " << seed << ", record " << record;
      if (reference && reference->range) {
        ASSERT_TRUE(found[i]) << "seed " << seed << ", record " << record;
        EXPECT_EQ(*found[i], *reference->range) << "seed " << seed << ", record " << record;
        EXPECT_EQ(finder.isAsBuilt(i, reference->text), reference->text == record)
            << "seed " << seed << ", record " << record;
      } else {
        EXPECT_FALSE(found[i]) << "seed " << seed << ", record " << record;
      }
    }
  }
}

TEST(ChangeLocatorTest, LinePatterns) {
  const std::string background =
      "particlesLayer.backgroundColor = NSColor(red: 1/255.0, green: 2/255.0, blue: 3/255.0, "
      "alpha: 1.0).cgColor\n";
  const std::string cellColor =
      "cell1.color = UIColor(red: 1/255.0, green: 2/255.0, blue: 3/255.0, alpha: 1.0).cgColor\n";
  struct Row {
    std::string name;
    std::string newString;
    CodePlatform platform;
    ConfigType type;
    bool expected;
  };
  const std::vector<Row> rows{
      {"background on macOS", background, CodePlatform::macOS, store::LayerProperty::background,
       true},
      {"background on iOS needs UIColor", background, CodePlatform::iOS,
       store::LayerProperty::background, false},
      {"a colour label lost",
       "cell1.color = UIColor(red: 1/255.0, 2/255.0, blue: 3/255.0, "
       "alpha: 1.0).cgColor",
       CodePlatform::iOS, store::CellProperty::color, false},
      {"cell colour", cellColor, CodePlatform::iOS, store::CellProperty::color, true},
      {"labels may come from other lines",
       "subcell2_1.color = UIColor(red:\nx, green:, blue:, alpha:).cgColor", CodePlatform::iOS,
       store::CellProperty::color, true},
      {"position", "particlesLayer.emitterPosition = CGPoint(x: 1.0, y: 2.0)", CodePlatform::macOS,
       store::LayerProperty::emitterPositionX, true},
      {"position without y", "particlesLayer.emitterPosition = CGPoint(x: 1.0)",
       CodePlatform::macOS, store::LayerProperty::emitterPositionX, false},
      {"size", "particlesLayer.emitterSize = CGSize(width: 1.0, height: 2.0)", CodePlatform::iOS,
       store::LayerProperty::emitterWidth, true},
      {"any cell's line", "subcell3_2.birthRate = 4", CodePlatform::iOS,
       store::CellProperty::birthRate, true},
      {"no such line", "cell1.birthRate4", CodePlatform::iOS, store::CellProperty::birthRate,
       false},
      {"shape lines have no pattern", "particlesLayer.emitterShape = .point", CodePlatform::iOS,
       store::LayerProperty::emitterShape, false},
      {"name lines have no pattern", "cell1.name = \"a\"", CodePlatform::iOS,
       store::CellProperty::name, false},
      {"view size has no pattern", "let size = CGSize(width: 4.0, height: 3.0)", CodePlatform::iOS,
       store::LayerProperty::viewWidth, false},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(ChangeLocator::matchesLinePatterns(row.newString, row.platform, row.type),
              row.expected)
        << row.name;
  }
}

}  // namespace
}  // namespace tessary::code_editor
