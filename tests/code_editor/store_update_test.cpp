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
using Case = ConfigType::Case;

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
  std::optional<Case> type = std::nullopt;  // instead of the record's own type
};

std::string big(char digit, std::size_t count) {
  return std::string(count, digit);
}

std::vector<Row> rows() {
  const auto cell1 = [](CellProperty property, std::string line, CodeAnalysisResult outcome,
                        std::vector<Write> writes, CodePlatform platform = iOS) {
    return Row{line, platform, property, 0, std::nullopt, line, outcome, std::move(writes)};
  };
  const auto valid = CodeAnalysisResult::valid;
  const auto pending = CodeAnalysisResult::pending;
  const auto invalid = CodeAnalysisResult::invalid;
  const std::string position = "particlesLayer.emitterPosition = CGPoint(x: ";
  const std::string size = "particlesLayer.emitterSize = CGSize(width: ";
  const std::string background = "particlesLayer.backgroundColor = NSColor(red: ";
  return {
      cell1(CellProperty::birthRate, "cell1.birthRate = 150", valid,
            {{CellProperty::birthRate, 0, std::nullopt, 150.0}}),
      cell1(CellProperty::birthRate, "cell1.birthRate = 15.", pending, {}),
      cell1(CellProperty::birthRate, "cell1.birthRate = .5", pending, {}),
      cell1(CellProperty::birthRate, "cell1.birthRate = ", invalid, {}),
      cell1(CellProperty::birthRate, "cell1.birthRate = 1.2.5", valid,
            {{CellProperty::birthRate, 0, std::nullopt, 1.25}}),
      cell1(CellProperty::birthRate, "cell1.birthRate = 1..5", valid,
            {{CellProperty::birthRate, 0, std::nullopt, 1.5}}),
      cell1(CellProperty::birthRate, "cell1.birthRate = 1-2", valid,
            {{CellProperty::birthRate, 0, std::nullopt, 1.0}}),
      cell1(CellProperty::birthRate, "cell1.birthRate = 12abc", valid,
            {{CellProperty::birthRate, 0, std::nullopt, 12.0}}),
      cell1(CellProperty::birthRate, "cell1.birthRate = 00012", valid,
            {{CellProperty::birthRate, 0, std::nullopt, 12.0}}),
      cell1(CellProperty::birthRate, "cell1.birthRate = -5", invalid, {}),
      cell1(CellProperty::birthRate, "cell1.birthRate = 1 2", valid,
            {{CellProperty::birthRate, 0, std::nullopt, 1.0}}),
      // Arabic-Indic digits are decimal digits to the pattern but not to the conversion.
      cell1(CellProperty::birthRate, "cell1.birthRate = \xD9\xA1\xD9\xA2", invalid, {}),
      cell1(CellProperty::birthRate, "cell1.birthRate = 1" + big('0', 400), invalid, {}),
      cell1(CellProperty::birthRate, "cell1.birthRate = 0." + big('0', 400) + "1", valid,
            {{CellProperty::birthRate, 0, std::nullopt, 0.0}}),
      // The name line above says "cell1.birthRate = 9"; only the edited line counts.
      cell1(CellProperty::birthRate, "cell1.birthRate = x", invalid, {}),
      cell1(CellProperty::velocity, "cell1.velocity = -5", valid,
            {{CellProperty::velocity, 0, std::nullopt, -5.0}}),
      cell1(CellProperty::velocity, "cell1.velocity = -", invalid, {}),
      cell1(CellProperty::velocity, "cell1.velocity = -.", pending, {}),
      cell1(CellProperty::velocity, "cell1.velocity = -.5", valid,
            {{CellProperty::velocity, 0, std::nullopt, -0.5}}),
      cell1(CellProperty::spin, "cell1.spin = 30.0 * (.pi / 180.0)", valid,
            {{CellProperty::spin, 0, std::nullopt, -30.0}}, macOS),
      cell1(CellProperty::spin, "cell1.spin = 30.0 * (.pi / 180.0)", valid,
            {{CellProperty::spin, 0, std::nullopt, 30.0}}, iOS),
      cell1(CellProperty::emissionLatitude,
            "cell1.emissionLatitude = 45.0 * (.pi / 180.0) // to radians", valid,
            {{CellProperty::emissionLatitude, 0, std::nullopt, -45.0}}, macOS),
      {"sub-cell line",
       iOS,
       CellProperty::lifetime,
       0,
       0,
       "subcell1_1.lifetime = 3",
       valid,
       {{CellProperty::lifetime, 0, 0, 3.0}}},
      {"sub-cell line of the first cell's number",
       iOS,
       CellProperty::lifetime,
       0,
       0,
       "subcell1_1.lifetime = 3.",
       pending,
       {}},
      cell1(CellProperty::color,
            "cell1.color = UIColor(red: 255/255.0, green: 0/255.0, blue: 51/255.0, alpha: "
            "0.25).cgColor",
            valid, {{CellProperty::color, 0, std::nullopt, Color{1.0, 0.0, 0.2, 0.25}}}),
      cell1(CellProperty::color,
            "cell1.color = UIColor(red: 255/255.0, green: /255.0, blue: 51/255.0, alpha: "
            "0.25).cgColor",
            invalid, {}),
      cell1(CellProperty::color,
            "cell1.color = UIColor(red: 255/255.0, green: 1./255.0, blue: 51/255.0, alpha: "
            "0.25).cgColor",
            pending, {}),
      {"background",
       macOS,
       LayerProperty::background,
       std::nullopt,
       std::nullopt,
       background + "255/255.0, green: 0/255.0, blue: 0/255.0, alpha: 0.5).cgColor",
       valid,
       {{LayerProperty::background, std::nullopt, std::nullopt, Color{1.0, 0.0, 0.0, 0.5}}}},
      {"position on iOS",
       iOS,
       LayerProperty::emitterPositionX,
       std::nullopt,
       std::nullopt,
       position + "10.0, y: 25.0)",
       valid,
       {{LayerProperty::emitterPositionX, std::nullopt, std::nullopt, 10.0},
        {LayerProperty::emitterPositionY, std::nullopt, std::nullopt, 25.0}}},
      // macOS shows Y as emitter height - Y: 10 - 150 = -140.
      {"position on macOS, x only",
       macOS,
       LayerProperty::emitterPositionX,
       std::nullopt,
       std::nullopt,
       position + "10.0, y: -140.0)",
       valid,
       {{LayerProperty::emitterPositionX, std::nullopt, std::nullopt, 10.0}}},
      {"position on macOS, y mirrored",
       macOS,
       LayerProperty::emitterPositionX,
       std::nullopt,
       std::nullopt,
       position + "200.0, y: 25.0)",
       valid,
       {{LayerProperty::emitterPositionY, std::nullopt, std::nullopt, -15.0}}},
      {"position with an infinite y",
       iOS,
       LayerProperty::emitterPositionX,
       std::nullopt,
       std::nullopt,
       position + "10.0, y: 9" + big('9', 400) + ")",
       invalid,
       {}},
      {"the position line read for the Y alone",
       macOS,
       LayerProperty::emitterPositionX,
       std::nullopt,
       std::nullopt,
       position + "200.0, y: 25.0)",
       valid,
       {{LayerProperty::emitterPositionY, std::nullopt, std::nullopt, -15.0}},
       Case::emitterPositionY},
      {"size",
       iOS,
       LayerProperty::emitterWidth,
       std::nullopt,
       std::nullopt,
       size + "70.0, height: 20.0)",
       valid,
       {{LayerProperty::emitterWidth, std::nullopt, std::nullopt, 70.0},
        {LayerProperty::emitterHeight, std::nullopt, std::nullopt, 20.0}}},
      {"size line not followed by the mode line",
       iOS,
       LayerProperty::emitterWidth,
       std::nullopt,
       std::nullopt,
       size + "70.0, height: 20.0)\n",
       invalid,
       {}},
      {"a layer number without a value pattern",
       iOS,
       LayerProperty::emitterWidth,
       std::nullopt,
       std::nullopt,
       size + "70.0, height: 20.0)",
       invalid,
       {},
       Case::viewWidth},
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
    const ConfigType type =
        row.type ? ConfigType(*row.type) : *ConfigType::fromKeyPath(row.recordKey);
    StoreUpdate::applyEdit(store, row.cellIndex, row.subcellIndex, text, *line, row.platform,
                           outcome, type);

    EXPECT_EQ(outcome, row.outcome) << row.name;
    ASSERT_EQ(recorder.changes.size(), row.writes.size()) << row.name;
    for (std::size_t i = 0; i < row.writes.size(); ++i) {
      const store::StoreChange& change = recorder.changes[i];
      EXPECT_EQ(change.keypath, row.writes[i].keypath) << row.name;
      EXPECT_EQ(change.cellIdx, row.writes[i].cellIdx) << row.name;
      EXPECT_EQ(change.subcellIdx, row.writes[i].subcellIdx) << row.name;
      EXPECT_EQ(change.newValue, row.writes[i].value)
          << row.name << ": " << testing::describe(change);
      EXPECT_EQ(change.source, store::DataUpdateSource::codeEditor) << row.name;
    }
  }
}

TEST(StoreUpdateTest, ReadNumberLeavesTheOutcomeAloneWithoutAPattern) {
  CodeAnalysisResult outcome = CodeAnalysisResult::pending;
  EXPECT_FALSE(
      StoreUpdate::readNumber("x = 1", {0, 5}, nullptr, iOS, outcome, ConfigType(Case::birthRate)));
  EXPECT_EQ(outcome, CodeAnalysisResult::pending);
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
