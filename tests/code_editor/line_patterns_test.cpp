#include "tessary/code_editor/line_patterns.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "support/golden_file.h"

namespace tessary::code_editor {
namespace {

using store::CellProperty;
using store::ConfigType;

// Every pattern text, pinned: the line and layer value patterns under their keys, and the value
// pattern of every cell number and colour component for a cell and a sub-cell on both platforms.
TEST(LinePatternsTest, PatternTextsMatchTheGoldenFile) {
  std::multiset<std::string> lines;
  for (const auto& [key, pattern] : LinePatterns::linePatterns()) {
    lines.insert("line " + key + ": " + pattern.pattern());
  }
  for (const auto& [key, pattern] : LinePatterns::layerValuePatterns()) {
    lines.insert("layer value " + key + ": " + pattern.pattern());
  }
  for (const ConfigType type : ConfigType::allCases()) {
    const bool isColor = type.path() == CellProperty::color;
    if (!isColor && !(type.path().cellProperty() && type.path().isLimitedValueProperty())) continue;
    for (const CodePlatform platform : {CodePlatform::macOS, CodePlatform::iOS}) {
      for (int component = 0; component <= (isColor ? 4 : 0); ++component) {
        for (const std::optional<int> subcell : {std::optional<int>(), std::optional<int>(0)}) {
          const auto pattern = LinePatterns::cellValuePattern(
              subcell ? 2 : 0, subcell, component ? std::optional(component) : std::nullopt,
              platform, type);
          lines.insert("cell value " + std::string(type.rawValue()) + " " +
                       std::string(platform.rawValue()) + " " + std::to_string(component) + ": " +
                       pattern.pattern());
        }
      }
    }
  }
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  tessary::testing::expectMatchesGolden(text, "patterns/line_patterns.txt");
}

TEST(LinePatternsTest, PatternsPickTheirNumberOrTellLinesApart) {
  const auto value = [](const char* key) { return LinePatterns::layerValuePatterns().at(key); };
  const auto line = [](const char* key) { return LinePatterns::linePatterns().at(key); };
  const auto cell = [](ConfigType type, std::optional<int> subindex = std::nullopt) {
    return LinePatterns::cellValuePattern(0, subindex, std::nullopt, CodePlatform::iOS, type);
  };
  const std::string size = "particlesLayer.emitterSize = CGSize(width: 50.0, height: 10.0)";
  // clang-format off
  const std::tuple<platform::RegularExpression, std::string, std::string> rows[] = {
      {value("background3"), "NSColor(red: 12/255.0, green: 34/255.0, blue: 56/255.0", "56"},
      {value("emitter position Y"), "CGPoint(x: -12.5, y: -3.0)", "-3.0"},
      // The height needs the mode line right after the size line.
      {value("emitter height"), size + "\nparticlesLayer.emitterMode = .outline", "10.0"},
      {value("emitter height"), size + "\n\nparticlesLayer", ""},
      // The host view's size in the intro is no emitter size.
      {value("emitter width"), "let size = CGSize(width: 400.0, height: 300.0)\nparticles", ""},
      {cell(CellProperty::spin, 1), "subcell1_2.spin = -1.5 * (.pi / 180.0)", "-1.5"},
      {cell(CellProperty::birthRate), "cell11.birthRate = 5", ""},
      {cell(CellProperty::birthRate), "cell1.birthRate = -7", ""},
      {cell(CellProperty::birthRate), "cell1.birthRate = 1.2.3", "1.2.3"},
      {cell(CellProperty::velocity), "cell1.velocity = -7", "-7"},
      {cell(CellProperty::scale), "cell1.scaleRange = 0.5\ncell1.scale = 0.25", "0.25"},
      // Unicode decimal digits are matched; the store update rejects them.
      {cell(CellProperty::birthRate), "cell1.birthRate = \xD9\xA1\xD9\xA2", "\xD9\xA1\xD9\xA2"},
      {line("lifetime"), "cell1.lifetimeRange = 2.0", ""},
      {line("scale"), "subcell12_3.scale = 2.0", "subcell12_3.scale ="},
      {line("color1iOS"), "cell1.color = NSColor(red: 1/255.0", ""},
  };
  // clang-format on
  for (const auto& [pattern, text, expected] : rows) {
    const auto match = pattern.firstMatch(text);
    EXPECT_EQ(match ? text.substr(match->begin, match->size()) : "", expected)
        << pattern.pattern() << " over " << text;
  }
}

TEST(LinePatternsTest, NonDigitsAreEverythingButDigitsPointAndMinus) {
  using namespace std::string_view_literals;
  for (const auto text : {" "sv, "+"sv, "e"sv, ","sv, "1 2"sv, "\xD9\xA1"sv, "\0"sv}) {
    EXPECT_TRUE(ConfigType::nonDigits.isFoundIn(text)) << text;
  }
  for (const auto text : {"0"sv, "9"sv, "-12.50"sv, ""sv}) {
    EXPECT_FALSE(ConfigType::nonDigits.isFoundIn(text)) << text;
  }
  EXPECT_EQ(LinePatterns::periodCount("1.2.3"), 2u);
}

}  // namespace
}  // namespace tessary::code_editor
