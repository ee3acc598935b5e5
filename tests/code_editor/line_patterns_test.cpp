#include "tessary/code_editor/line_patterns.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "support/golden_file.h"

namespace tessary::code_editor {
namespace {

using store::ConfigType;

std::string firstMatchText(const platform::RegularExpression& pattern, std::string_view text) {
  const auto match = pattern.firstMatch(text);
  return match ? std::string(text.substr(match->begin, match->size())) : "<none>";
}

// Every pattern text, pinned: the line and layer value patterns under their keys, and the value
// pattern of every cell number and colour component for a cell and a sub-cell on both platforms.
TEST(LinePatternsTest, PatternTextsMatchTheGoldenFile) {
  using Cell = std::pair<std::optional<int>, std::optional<int>>;
  std::vector<std::string> lines;
  for (const auto& [key, pattern] : LinePatterns::linePatterns()) {
    lines.push_back("line " + key + ": " + pattern.pattern());
  }
  for (const auto& [key, pattern] : LinePatterns::layerValuePatterns()) {
    lines.push_back("layer value " + key + ": " + pattern.pattern());
  }
  for (const ConfigType type : ConfigType::allCases()) {
    const bool isColor = type.path() == store::CellProperty::color;
    if (!isColor && !(type.path().cellProperty() && type.path().isLimitedValueProperty())) continue;
    for (const CodePlatform platform : {CodePlatform::macOS, CodePlatform::iOS}) {
      for (const std::optional<int> component :
           {std::optional<int>(), std::optional<int>(1), std::optional<int>(2),
            std::optional<int>(3), std::optional<int>(4)}) {
        if (component && !isColor) continue;
        for (const auto& [cell, subcell] : {Cell{}, Cell{2, 0}}) {
          lines.push_back(
              "cell value " + std::string(type.rawValue()) + " " +
              std::string(platform.rawValue()) + " " + std::to_string(component.value_or(0)) +
              ": " +
              LinePatterns::cellValuePattern(cell, subcell, component, platform, type).pattern());
        }
      }
    }
  }
  std::sort(lines.begin(), lines.end());
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  tessary::testing::expectMatchesGolden(text, "patterns/line_patterns.txt");
}

TEST(LinePatternsTest, ValuePatternsPickTheNumber) {
  const auto& values = LinePatterns::layerValuePatterns();
  const std::string background =
      "particlesLayer.backgroundColor = NSColor(red: 12/255.0, green: 34/255.0, blue: 56/255.0, "
      "alpha: 1.0).cgColor";
  const std::string sizeLine = "particlesLayer.emitterSize = CGSize(width: 50.0, height: 10.0)";
  const auto cell = [](std::optional<int> index, std::optional<int> subindex, ConfigType type) {
    return LinePatterns::cellValuePattern(index, subindex, std::nullopt, CodePlatform::iOS, type);
  };
  struct Row {
    platform::RegularExpression pattern;
    std::string text;
    std::string expected;
  };
  const std::vector<Row> rows{
      {values.at("background1"), background, "12"},
      {values.at("background3"), background, "56"},
      {values.at("background4"), background, "1.0"},
      {values.at("emitter position X"), "CGPoint(x: -12.5, y: 3.0)", "-12.5"},
      {values.at("emitter position Y"), "CGPoint(x: -12.5, y: -3.0)", "-3.0"},
      {values.at("emitter width"), sizeLine, "50.0"},
      {values.at("emitter height"), sizeLine + "\nparticlesLayer.emitterMode = .outline", "10.0"},
      // The height needs the mode line right after the size line.
      {values.at("emitter height"), sizeLine, "<none>"},
      {values.at("emitter height"), sizeLine + "\n\nparticlesLayer", "<none>"},
      // The host view's size in the intro is no emitter size.
      {values.at("emitter width"), "let size = CGSize(width: 400.0, height: 300.0)\nparticles",
       "<none>"},
      {values.at("emitter height"), "let size = CGSize(width: 400.0, height: 300.0)\nlet host",
       "<none>"},
      {cell(2, 1, store::CellProperty::spin), "subcell3_2.spin = -1.5 * (.pi / 180.0)", "-1.5"},
      {cell(0, std::nullopt, store::CellProperty::birthRate), "cell11.birthRate = 5", "<none>"},
      {cell(0, std::nullopt, store::CellProperty::birthRate), "cell1.birthRate = 7", "7"},
      {cell(0, std::nullopt, store::CellProperty::birthRate), "cell1.birthRate = -7", "<none>"},
      {cell(0, std::nullopt, store::CellProperty::velocity), "cell1.velocity = -7", "-7"},
      {cell(0, std::nullopt, store::CellProperty::scale),
       "cell1.scaleRange = 0.5\ncell1.scale = 0.25", "0.25"},
      {cell(0, std::nullopt, store::CellProperty::birthRate), "cell1.birthRate = 1.2.3", "1.2.3"},
      // Unicode decimal digits are matched; the store update rejects them.
      {cell(0, std::nullopt, store::CellProperty::birthRate), "cell1.birthRate = \xD9\xA1\xD9\xA2",
       "\xD9\xA1\xD9\xA2"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(firstMatchText(row.pattern, row.text), row.expected)
        << row.pattern.pattern() << " over " << row.text;
  }
}

TEST(LinePatternsTest, LinePatternsTellLinesApart) {
  const auto& lines = LinePatterns::linePatterns();
  EXPECT_FALSE(lines.at("lifetime").didMatch("cell1.lifetimeRange = 2.0"));
  EXPECT_FALSE(lines.at("scale").didMatch("cell1.scaleRange = 2.0"));
  EXPECT_TRUE(lines.at("scale").didMatch("subcell12_3.scale = 2.0"));
  EXPECT_FALSE(lines.at("color1iOS").didMatch("cell1.color = NSColor(red: 1/255.0"));
  EXPECT_TRUE(lines.at("color1macOS").didMatch("cell1.color = NSColor(red: 1/255.0"));
}

TEST(LinePatternsTest, RedValuesOfThreeColourLinesComeInTextOrder) {
  const std::string text =
      "particlesLayer.backgroundColor = UIColor(red: 1/255.0, green: 0/255.0\n"
      "cell1.color = UIColor(red: 22/255.0, green: 0/255.0\n"
      "subcell1_1.color = UIColor(red: 333/255.0, green: 0/255.0\n";
  const auto matches = LinePatterns::layerValuePatterns().at("background1").matches(text);
  ASSERT_EQ(matches.size(), 3u);
  EXPECT_EQ(text.substr(matches[2].begin, matches[2].size()), "333");
  EXPECT_LT(matches[0].begin, matches[1].begin);
}

TEST(LinePatternsTest, NonDigitsAreEverythingButDigitsPointAndMinus) {
  for (const char32_t character : {U' ', U'+', U'e', U',', U'\u0661', U'\U0001F386', U'\0'}) {
    EXPECT_TRUE(ConfigType::nonDigits.contains(character)) << static_cast<int>(character);
  }
  for (const char32_t character : {U'0', U'7', U'9', U'.', U'-'}) {
    EXPECT_FALSE(ConfigType::nonDigits.contains(character)) << static_cast<int>(character);
  }
  EXPECT_FALSE(ConfigType::nonDigits.isFoundIn("-12.50"));
  EXPECT_FALSE(ConfigType::nonDigits.isFoundIn(""));
  EXPECT_TRUE(ConfigType::nonDigits.isFoundIn("1 2"));
  EXPECT_TRUE(ConfigType::nonDigits.isFoundIn("\xD9\xA1"));  // ARABIC-INDIC DIGIT ONE
  EXPECT_EQ(LinePatterns::periodCount("1.2.3"), 2u);
  EXPECT_EQ(LinePatterns::periodCount("12"), 0u);
}

TEST(LinePatternsTest, TablesAreBuiltOnceWhenManyThreadsAskAtOnce) {
  std::vector<const LinePatterns::PatternMap*> seen(8);
  std::vector<std::thread> threads;
  for (std::size_t i = 0; i < seen.size(); ++i) {
    threads.emplace_back([&seen, i] {
      seen[i] = i % 2 == 0 ? &LinePatterns::linePatterns() : &LinePatterns::layerValuePatterns();
    });
  }
  for (auto& thread : threads) thread.join();
  const std::set<const LinePatterns::PatternMap*> distinct(seen.begin(), seen.end());
  EXPECT_EQ(distinct.size(), 2u);
}

TEST(LinePatternsDeathTest, ATypeWithoutCellPatternStopsTheProcess) {
  EXPECT_DEATH(LinePatterns::cellValuePattern(0, std::nullopt, std::nullopt, CodePlatform::macOS,
                                              store::LayerProperty::emitterWidth),
               "Fatal error.*Invalid regex request");
  EXPECT_DEATH(LinePatterns::cellValuePattern(0, std::nullopt, std::nullopt, CodePlatform::macOS,
                                              store::CellProperty::name),
               "Invalid regex request");
}

}  // namespace
}  // namespace tessary::code_editor
