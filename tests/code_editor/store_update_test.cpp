#include "tessary/code_editor/store_update.h"

#include <gtest/gtest.h>

#include <sstream>
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

// A write in brief: the property, the cell and sub-cell, and the value ("birthRate[0]=150").
std::string brief(const store::StoreChange& change) {
  std::ostringstream out;
  const std::string name = change.keypath.description();
  out << name.substr(name.find('.') + 1);
  if (change.cellIdx) out << "[" << *change.cellIdx;
  if (change.subcellIdx) out << "," << *change.subcellIdx;
  out << (change.cellIdx ? "]=" : "=");
  if (const double* number = std::get_if<double>(&change.newValue)) {
    out << *number;
  } else {
    const Color& color = std::get<Color>(change.newValue);
    out << color.red << "/" << color.green << "/" << color.blue << "/" << color.alpha;
  }
  return out.str();
}

// Each row replaces the line that begins as its new line does up to "=" and applies it as the
// line of `type` (by default the edited record's own).
TEST(StoreUpdateTest, ApplyEdit) {
  const auto valid = CodeAnalysisResult::valid;
  const auto pending = CodeAnalysisResult::pending;
  const auto invalid = CodeAnalysisResult::invalid;
  struct Row {
    CodePlatform platform;
    std::string line;
    CodeAnalysisResult outcome;
    std::vector<std::string> writes;
    std::optional<ConfigType> type = std::nullopt;
  };
  const std::string position = "particlesLayer.emitterPosition = CGPoint(x: ";
  const std::string size = "particlesLayer.emitterSize = CGSize(width: ";
  const std::string color = "cell1.color = UIColor(red: 255/255.0, green: ";
  const std::string zeros(400, '0');
  const std::vector<Row> rows{
      {iOS, "cell1.birthRate = 150", valid, {"birthRate[0]=150"}},
      {iOS, "cell1.birthRate = 15.", pending, {}},
      {iOS, "cell1.birthRate = .5", pending, {}},
      {iOS, "cell1.birthRate = ", invalid, {}},
      {iOS, "cell1.birthRate = 1.2.5", valid, {"birthRate[0]=1.25"}},
      {iOS, "cell1.birthRate = 1..5", valid, {"birthRate[0]=1.5"}},
      {iOS, "cell1.birthRate = 1-2", valid, {"birthRate[0]=1"}},
      {iOS, "cell1.birthRate = 12abc", valid, {"birthRate[0]=12"}},
      {iOS, "cell1.birthRate = 00012", valid, {"birthRate[0]=12"}},
      {iOS, "cell1.birthRate = 1 2", valid, {"birthRate[0]=1"}},
      {iOS, "cell1.birthRate = -5", invalid, {}},
      // Arabic-Indic digits are decimal digits to the pattern but not to the conversion.
      {iOS, "cell1.birthRate = \xD9\xA1\xD9\xA2", invalid, {}},
      {iOS, "cell1.birthRate = 1" + zeros, invalid, {}},
      {iOS, "cell1.birthRate = 0." + zeros + "1", valid, {"birthRate[0]=0"}},
      // The name line above says "cell1.birthRate = 9"; only the edited line counts.
      {iOS, "cell1.birthRate = x", invalid, {}},
      {iOS, "cell1.velocity = -5", valid, {"velocity[0]=-5"}},
      {iOS, "cell1.velocity = -", invalid, {}},
      {iOS, "cell1.velocity = -.", pending, {}},
      {iOS, "cell1.velocity = -.5", valid, {"velocity[0]=-0.5"}},
      {macOS, "cell1.spin = 30.0 * (.pi / 180.0)", valid, {"spin[0]=-30"}},
      {iOS, "cell1.spin = 30.0 * (.pi / 180.0)", valid, {"spin[0]=30"}},
      {macOS,
       "cell1.emissionLatitude = 45.0 * (.pi / 180.0) // to radians",
       valid,
       {"emissionLatitude[0]=-45"}},
      {iOS,
       color + "0/255.0, blue: 51/255.0, alpha: 0.25).cgColor",
       valid,
       {"color[0]=1/0/0.2/0.25"}},
      {iOS, color + "/255.0, blue: 51/255.0, alpha: 0.25).cgColor", invalid, {}},
      {iOS, color + "1./255.0, blue: 51/255.0, alpha: 0.25).cgColor", pending, {}},
      {iOS, "subcell1_1.lifetime = 3", valid, {"lifetime[0,0]=3"}},
      {macOS,
       "particlesLayer.backgroundColor = NSColor(red: 255/255.0, green: 0/255.0, blue: 0/255.0, "
       "alpha: 0.5).cgColor",
       valid,
       {"background=1/0/0/0.5"}},
      {iOS, position + "10.0, y: 25.0)", valid, {"emitterPositionX=10", "emitterPositionY=25"}},
      // macOS shows Y as emitter height - Y: 10 - 150 = -140.
      {macOS, position + "10.0, y: -140.0)", valid, {"emitterPositionX=10"}},
      {macOS, position + "200.0, y: 25.0)", valid, {"emitterPositionY=-15"}},
      {macOS,
       position + "200.0, y: 25.0)",
       valid,
       {"emitterPositionY=-15"},
       ConfigType(LayerProperty::emitterPositionY)},
      {iOS, position + "10.0, y: 9" + zeros + ")", invalid, {}},
      {iOS, size + "70.0, height: 20.0)", valid, {"emitterWidth=70", "emitterHeight=20"}},
      // The height is read with the line after it, the mode line.
      {iOS, size + "70.0, height: 20.0)\n", invalid, {}},
      {iOS, size + "70.0, height: 20.0)", invalid, {}, ConfigType(LayerProperty::viewWidth)},
  };
  // Two cells, the first with one sub-cell; the emitter height is 10 and the position's Y 150.
  auto layer = std::make_shared<store::LayerConfig>();
  layer->emitterPositionX.setValue(200);
  layer->emitterPositionY.setValue(150);
  layer->emitterWidth.setValue(50);
  layer->emitterHeight.setValue(10);
  for (const char* name : {"cell1.birthRate = 9", "spark"}) {
    layer->cells.push_back(std::make_shared<store::CellConfig>());
    layer->cells.back()->name = name;
    layer->cells.back()->birthRate.setValue(120);
    layer->cells.back()->velocity.setValue(100);
    layer->cells.back()->spin.setValue(10);
  }
  layer->cells[0]->subcells.push_back(std::make_shared<store::CellConfig>());
  store::DataStore::renumberCells(*layer);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line.substr(0, 80));
    const auto built = testing::buildSnippet(*layer, row.platform);
    const std::string beginning = row.line.substr(0, row.line.find('=') + 1);
    const auto record = std::ranges::find_if(built.records, [&](const CodeHistory& record) {
      return record.string().starts_with(beginning);
    });
    ASSERT_NE(record, built.records.end());
    std::string text = built.text;
    text.replace(text.find(record->string() + "\n"), record->string().size(), row.line);
    const auto line =
        ChangeLocator::findLine(*ChangeLocator::fixedBeginning(record->string()), text);
    ASSERT_TRUE(line);

    store::DataStore store(layer->deepCopy());
    testing::ChangeRecorder recorder(store);
    CodeAnalysisResult outcome = CodeAnalysisResult::invalid;
    const ConfigType type = row.type ? *row.type : *ConfigType::fromKeyPath(record->keypath());
    StoreUpdate::applyEdit(store, record->cellIndex(), record->subcellIndex(), text, *line,
                           row.platform, outcome, type);
    EXPECT_EQ(outcome, row.outcome);
    std::vector<std::string> writes;
    for (const store::StoreChange& change : recorder.changes) {
      EXPECT_EQ(change.source, store::DataUpdateSource::codeEditor);
      writes.push_back(brief(change));
    }
    EXPECT_EQ(writes, row.writes);
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
