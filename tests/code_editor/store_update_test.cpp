#include "tessary/code_editor/store_update.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "analysis_test_support.h"

namespace tessary::code_editor {
namespace {

using store::ConfigType;
using store::LayerProperty;

// Each row replaces the line that begins as its new line does up to "=" and applies it as the
// line of `type` (by default the edited record's own); the writes are the store's changes.
TEST(StoreUpdateTest, ApplyEdit) {
  constexpr auto valid = CodeAnalysisResult::valid, pending = CodeAnalysisResult::pending,
                 invalid = CodeAnalysisResult::invalid;
  constexpr auto macOS = CodePlatform::macOS, iOS = CodePlatform::iOS;
  struct Row {
    CodePlatform platform;
    std::string line;
    CodeAnalysisResult outcome;
    std::vector<std::string> writes;
    std::optional<ConfigType> type = std::nullopt;
  };
  const std::string position = "particlesLayer.emitterPosition = CGPoint(x: ";
  const std::string size = "particlesLayer.emitterSize = CGSize(width: 70.0, height: 20.0)";
  const std::string color = "cell1.color = UIColor(red: 255/255.0, green: ";
  const std::string zeros(400, '0');
  // clang-format off
  const std::vector<Row> rows{
      {iOS, "cell1.birthRate = 150", valid, {"birthRate[0]=150"}},
      {iOS, "cell1.birthRate = 15.", pending, {}}, {iOS, "cell1.birthRate = .5", pending, {}},
      {iOS, "cell1.birthRate = ", invalid, {}}, {iOS, "cell1.birthRate = -5", invalid, {}},
      {iOS, "cell1.birthRate = 1.2.5", valid, {"birthRate[0]=1.25"}},
      {iOS, "cell1.birthRate = 1-2", valid, {"birthRate[0]=1"}},
      // Arabic-Indic digits are decimal digits to the pattern but not to the conversion.
      {iOS, "cell1.birthRate = \xD9\xA1\xD9\xA2", invalid, {}},
      {iOS, "cell1.birthRate = 1" + zeros, invalid, {}},
      // The name line above says "cell1.birthRate = 9"; only the edited line counts.
      {iOS, "cell1.birthRate = x", invalid, {}},
      {iOS, "cell1.velocity = -5", valid, {"velocity[0]=-5"}},
      {iOS, "cell1.velocity = -", invalid, {}}, {iOS, "cell1.velocity = -.", pending, {}},
      {macOS, "cell1.spin = 30.0 * (.pi / 180.0)", valid, {"spin[0]=-30"}},
      {iOS, color + "0/255.0, blue: 51/255.0, alpha: 0.25).cgColor", valid, {"color[0]=1/0/0.2/0.25"}},
      {iOS, color + "/255.0, blue: 51/255.0, alpha: 0.25).cgColor", invalid, {}},
      {iOS, color + "1./255.0, blue: 51/255.0, alpha: 0.25).cgColor", pending, {}},
      {iOS, "subcell1_1.lifetime = 3", valid, {"lifetime[0,0]=3"}},
      {macOS, "particlesLayer.backgroundColor = NSColor(red: 255/255.0, green: 0/255.0, blue: 0/255.0, alpha: 0.5).cgColor", valid, {"background=1/0/0/0.5"}},
      {iOS, position + "10.0, y: 25.0)", valid, {"emitterPositionX=10", "emitterPositionY=25"}},
      // macOS shows Y as emitter height - Y: 10 - 150 = -140.
      {macOS, position + "10.0, y: -140.0)", valid, {"emitterPositionX=10"}},
      {macOS, position + "200.0, y: 25.0)", valid, {"emitterPositionY=-15"}},
      {macOS, position + "200.0, y: 25.0)", valid, {"emitterPositionY=-15"}, ConfigType(LayerProperty::emitterPositionY)},
      {iOS, position + "10.0, y: 9" + zeros + ")", invalid, {}},
      {iOS, size, valid, {"emitterWidth=70", "emitterHeight=20"}},
      // The height is read with the line after it, the mode line.
      {iOS, size + "\n", invalid, {}}, {iOS, size, invalid, {}, ConfigType(LayerProperty::viewWidth)},
  };
  // clang-format on
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
    store::DataStore store(layer->deepCopy());
    testing::ChangeRecorder recorder(store);
    CodeAnalysisResult outcome = CodeAnalysisResult::invalid;
    StoreUpdate::applyEdit(store, record->cellIndex(), record->subcellIndex(), text, line.value(),
                           row.platform, outcome,
                           row.type.value_or(*ConfigType::fromKeyPath(record->keypath())));
    EXPECT_EQ(outcome, row.outcome);
    EXPECT_EQ(recorder.described(6), row.writes);
  }
}

TEST(StoreUpdateTest, ConvertsLikeStrtodInTheCLocale) {
  const std::vector<std::pair<std::string, std::optional<double>>> conversions{
      {"1.5", 1.5},       {"-.5", -0.5},          {"007", 7.0},         {"1e3", 1000.0},
      {"", std::nullopt}, {"1.5 ", std::nullopt}, {" 1", std::nullopt}, {"1,5", std::nullopt}};
  for (const auto& [text, expected] : conversions) {
    EXPECT_EQ(StoreUpdate::convertedNumber(text), expected) << text;
  }
  EXPECT_TRUE(std::signbit(*StoreUpdate::convertedNumber("-0")));
}

}  // namespace
}  // namespace tessary::code_editor
