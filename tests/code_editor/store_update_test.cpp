#include "tessary/code_editor/store_update.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "analysis_test_support.h"
#include "tessary/code_editor/change_locator.h"

namespace tessary::code_editor {
namespace {

using platform::Color;
using store::AnyKeyPath;
using store::CellProperty;
using store::ConfigType;
using store::LayerProperty;
using store::StoreValue;

constexpr auto macOS = CodePlatform::macOS;
constexpr auto iOS = CodePlatform::iOS;

// Two cells, the first with one sub-cell; the layer's emitter height is 10 and its position Y 150,
// so the macOS snippet shows the Y as -140.
store::LayerConfigRef effect() {
  auto layer = std::make_shared<store::LayerConfig>();
  layer->emitterPositionX.setValue(200);
  layer->emitterPositionY.setValue(150);
  layer->emitterWidth.setValue(50);
  layer->emitterHeight.setValue(10);
  for (int i = 0; i < 2; ++i) {
    auto cell = std::make_shared<store::CellConfig>();
    cell->name = i == 0 ? "cell1.birthRate = 9" : "spark";
    cell->birthRate.setValue(120);
    cell->velocity.setValue(100);
    cell->spin.setValue(10);
    layer->cells.push_back(cell);
  }
  layer->cells[0]->subcells.push_back(std::make_shared<store::CellConfig>());
  store::DataStore::renumberCells(*layer);
  return layer;
}

struct Write {
  AnyKeyPath keypath;
  std::optional<int> cellIdx;
  std::optional<int> subcellIdx;
  StoreValue value;
};

struct Row {
  std::string name;
  CodePlatform platform;
  AnyKeyPath recordKey;  // the line edited, of cell `cellIndex`/`subcellIndex` for a cell line
  std::optional<int> cellIndex;
  std::optional<int> subcellIndex;
  std::string newLine;  // replaces the line
  CodeAnalysisResult outcome;
  std::vector<Write> writes;
  std::optional<ConfigType> type = std::nullopt;  // instead of the record's own type
};

std::vector<Row> rows() {
  const auto valid = CodeAnalysisResult::valid;
  const auto pending = CodeAnalysisResult::pending;
  const auto invalid = CodeAnalysisResult::invalid;
  // A line of the first cell, and the one write expected of it.
  const auto cell1 = [](CellProperty property, std::string line, CodeAnalysisResult outcome,
                        std::optional<StoreValue> value = std::nullopt,
                        CodePlatform platform = iOS) {
    std::vector<Write> writes;
    if (value) writes.push_back({property, 0, std::nullopt, *value});
    return Row{line, platform, property, 0, std::nullopt, line, outcome, writes};
  };
  const auto layer = [](std::string name, CodePlatform platform, LayerProperty line,
                        std::string newLine, CodeAnalysisResult outcome,
                        std::vector<std::pair<LayerProperty, StoreValue>> values,
                        std::optional<ConfigType> type = std::nullopt) {
    std::vector<Write> writes;
    for (const auto& [property, value] : values) {
      writes.push_back({property, std::nullopt, std::nullopt, value});
    }
    return Row{name, platform, line, std::nullopt, std::nullopt, newLine, outcome, writes, type};
  };
  const std::string position = "particlesLayer.emitterPosition = CGPoint(x: ";
  const std::string size = "particlesLayer.emitterSize = CGSize(width: ";
  const std::string color = "cell1.color = UIColor(red: 255/255.0, green: ";
  const auto x = LayerProperty::emitterPositionX;
  const auto y = LayerProperty::emitterPositionY;
  const auto width = LayerProperty::emitterWidth;
  const auto height = LayerProperty::emitterHeight;
  return {
      cell1(CellProperty::birthRate, "cell1.birthRate = 150", valid, 150.0),
      cell1(CellProperty::birthRate, "cell1.birthRate = 15.", pending),
      cell1(CellProperty::birthRate, "cell1.birthRate = .5", pending),
      cell1(CellProperty::birthRate, "cell1.birthRate = ", invalid),
      cell1(CellProperty::birthRate, "cell1.birthRate = 1.2.5", valid, 1.25),
      cell1(CellProperty::birthRate, "cell1.birthRate = 1..5", valid, 1.5),
      cell1(CellProperty::birthRate, "cell1.birthRate = 1-2", valid, 1.0),
      cell1(CellProperty::birthRate, "cell1.birthRate = 12abc", valid, 12.0),
      cell1(CellProperty::birthRate, "cell1.birthRate = 00012", valid, 12.0),
      cell1(CellProperty::birthRate, "cell1.birthRate = 1 2", valid, 1.0),
      cell1(CellProperty::birthRate, "cell1.birthRate = -5", invalid),
      // Arabic-Indic digits are decimal digits to the pattern but not to the conversion.
      cell1(CellProperty::birthRate, "cell1.birthRate = \xD9\xA1\xD9\xA2", invalid),
      cell1(CellProperty::birthRate, "cell1.birthRate = 1" + std::string(400, '0'), invalid),
      cell1(CellProperty::birthRate, "cell1.birthRate = 0." + std::string(400, '0') + "1", valid,
            0.0),
      // The name line above says "cell1.birthRate = 9"; only the edited line counts.
      cell1(CellProperty::birthRate, "cell1.birthRate = x", invalid),
      cell1(CellProperty::velocity, "cell1.velocity = -5", valid, -5.0),
      cell1(CellProperty::velocity, "cell1.velocity = -", invalid),
      cell1(CellProperty::velocity, "cell1.velocity = -.", pending),
      cell1(CellProperty::velocity, "cell1.velocity = -.5", valid, -0.5),
      cell1(CellProperty::spin, "cell1.spin = 30.0 * (.pi / 180.0)", valid, -30.0, macOS),
      cell1(CellProperty::spin, "cell1.spin = 30.0 * (.pi / 180.0)", valid, 30.0, iOS),
      cell1(CellProperty::emissionLatitude,
            "cell1.emissionLatitude = 45.0 * (.pi / 180.0) // to radians", valid, -45.0, macOS),
      cell1(CellProperty::color, color + "0/255.0, blue: 51/255.0, alpha: 0.25).cgColor", valid,
            Color{1.0, 0.0, 0.2, 0.25}),
      cell1(CellProperty::color, color + "/255.0, blue: 51/255.0, alpha: 0.25).cgColor", invalid),
      cell1(CellProperty::color, color + "1./255.0, blue: 51/255.0, alpha: 0.25).cgColor", pending),
      {"sub-cell line",
       iOS,
       CellProperty::lifetime,
       0,
       0,
       "subcell1_1.lifetime = 3",
       valid,
       {{CellProperty::lifetime, 0, 0, 3.0}}},
      layer("background", macOS, LayerProperty::background,
            "particlesLayer.backgroundColor = NSColor(red: 255/255.0, green: 0/255.0, blue: "
            "0/255.0, alpha: 0.5).cgColor",
            valid, {{LayerProperty::background, Color{1.0, 0.0, 0.0, 0.5}}}),
      layer("position on iOS", iOS, x, position + "10.0, y: 25.0)", valid, {{x, 10.0}, {y, 25.0}}),
      // macOS shows Y as emitter height - Y: 10 - 150 = -140.
      layer("position on macOS, x only", macOS, x, position + "10.0, y: -140.0)", valid,
            {{x, 10.0}}),
      layer("position on macOS, y mirrored", macOS, x, position + "200.0, y: 25.0)", valid,
            {{y, -15.0}}),
      layer("position with an infinite y", iOS, x,
            position + "10.0, y: 9" + std::string(400, '9') + ")", invalid, {}),
      layer("the position line read for the Y alone", macOS, x, position + "200.0, y: 25.0)", valid,
            {{y, -15.0}}, ConfigType(LayerProperty::emitterPositionY)),
      layer("size", iOS, width, size + "70.0, height: 20.0)", valid,
            {{width, 70.0}, {height, 20.0}}),
      layer("size line not followed by the mode line", iOS, width, size + "70.0, height: 20.0)\n",
            invalid, {}),
      layer("a layer number without a value pattern", iOS, width, size + "70.0, height: 20.0)",
            invalid, {}, ConfigType(LayerProperty::viewWidth)),
  };
}

TEST(StoreUpdateTest, ApplyEdit) {
  for (const Row& row : rows()) {
    const auto layer = effect();
    const auto built = testing::buildSnippet(*layer, row.platform);
    const auto record =
        std::find_if(built.records.begin(), built.records.end(), [&](const CodeHistory& record) {
          return record.keypath() == row.recordKey && record.cellIndex() == row.cellIndex &&
                 record.subcellIndex() == row.subcellIndex;
        });
    ASSERT_NE(record, built.records.end()) << row.name;
    std::string text = built.text;
    text.replace(text.find(record->string() + "\n"), record->string().size(), row.newLine);
    const auto line =
        ChangeLocator::findLine(*ChangeLocator::fixedBeginning(record->string()), text);
    ASSERT_TRUE(line) << row.name;

    store::DataStore store(layer);
    testing::ChangeRecorder recorder(store);
    CodeAnalysisResult outcome = CodeAnalysisResult::invalid;
    const ConfigType type = row.type ? *row.type : *ConfigType::fromKeyPath(row.recordKey);
    StoreUpdate::applyEdit(store, row.cellIndex, row.subcellIndex, text, *line, row.platform,
                           outcome, type);

    EXPECT_EQ(outcome, row.outcome) << row.name;
    ASSERT_EQ(recorder.changes.size(), row.writes.size()) << row.name;
    for (std::size_t i = 0; i < row.writes.size(); ++i) {
      const store::StoreChange& change = recorder.changes[i];
      const Write& write = row.writes[i];
      EXPECT_EQ(change.keypath, write.keypath) << row.name;
      EXPECT_EQ(change.cellIdx, write.cellIdx) << row.name;
      EXPECT_EQ(change.subcellIdx, write.subcellIdx) << row.name;
      EXPECT_EQ(change.newValue, write.value) << row.name << ": " << recorder.described()[i];
      EXPECT_EQ(change.source, store::DataUpdateSource::codeEditor) << row.name;
    }
  }
}

TEST(StoreUpdateTest, ConvertsLikeStrtodInTheCLocale) {
  struct Conversion {
    std::string text;
    std::optional<double> expected;
  };
  const std::vector<Conversion> conversions{
      {"1.5", 1.5},           {"-0", -0.0},         {"-.5", -0.5},
      {"007", 7.0},           {"1e3", 1000.0},      {"", std::nullopt},
      {"1.5 ", std::nullopt}, {" 1", std::nullopt}, {"1,5", std::nullopt},
  };
  for (const Conversion& conversion : conversions) {
    EXPECT_EQ(StoreUpdate::convertedNumber(conversion.text), conversion.expected)
        << conversion.text;
  }
  EXPECT_TRUE(std::signbit(*StoreUpdate::convertedNumber("-0")));
}

}  // namespace
}  // namespace tessary::code_editor
