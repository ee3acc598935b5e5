#include "tessary/code_editor/store_update.h"

#include <gtest/gtest.h>

#include <sstream>

#include "analysis_test_support.h"
#include "support/golden_file.h"

namespace tessary::code_editor {
namespace {

TEST(StoreUpdateTest, ApplyEdit) {
  // Two cells, the first with one sub-cell and a name that holds another line's text; the view
  // 300 high; numbers and colours the snippet shows rounded.
  auto layer = std::make_shared<store::LayerConfig>();
  layer->viewHeight.setValue(300);
  layer->emitterPositionX.setValue(200.04);
  layer->emitterPositionY.setValue(123.456);
  layer->emitterWidth.setValue(50.04);
  layer->emitterHeight.setValue(10.06);
  layer->backgroundRed = 0.2;
  layer->backgroundGreen = 0.55;
  layer->backgroundBlue = 0.15;
  layer->backgroundAlpha = 0.456;
  for (const char* name : {"cell1.birthRate = 9", "spark"}) {
    layer->cells.push_back(std::make_shared<store::CellConfig>());
    layer->cells.back()->name = name;
    layer->cells.back()->birthRate.setValue(120);
    layer->cells.back()->velocity.setValue(100);
    layer->cells.back()->spin.setValue(10);
  }
  layer->cells[0]->colorGreen = 0.55;
  layer->cells[0]->colorBlue = 0.15;
  layer->cells[0]->colorAlpha = 0.123;
  layer->cells[0]->subcells.push_back(std::make_shared<store::CellConfig>());
  store::DataStore::renumberCells(*layer);
  tessary::testing::expectCasesMatchGolden(
      "code_editor/store_updates.cases", 3, [&](const std::vector<std::string>& fields) {
        const CodePlatform platform = *CodePlatform::fromRawValue(fields[0]);
        const std::string& line = fields[2];
        const auto built = testing::buildSnippet(*layer, platform);
        const std::string beginning = line.substr(0, line.find('=') + 1);
        const auto record = std::ranges::find_if(built.records, [&](const CodeHistory& record) {
          return record.string().starts_with(beginning);
        });
        std::string text = built.text;
        text.replace(text.find(std::string(record->string()) + "\n"), record->string().size(),
                     line);
        const auto found =
            ChangeLocator::findLine(*ChangeLocator::fixedBeginning(record->string()), text);
        store::DataStore store(layer->deepCopy());
        testing::ChangeRecorder recorder(store);
        CodeAnalysisResult outcome = CodeAnalysisResult::invalid;
        const auto type = fields[1].empty() ? store::ConfigType::fromKeyPath(record->keypath())
                                            : store::ConfigType::fromRawValue(fields[1]);
        StoreUpdate::applyEdit(store, record->cellIndex(), record->subcellIndex(), text,
                               found.value(), platform, outcome, type.value());
        std::string result(toString(outcome));
        for (const std::string& write : recorder.described(6)) result += " " + write;
        return result;
      });
}

TEST(StoreUpdateTest, ConvertsLikeStrtodInTheCLocale) {
  tessary::testing::expectCasesMatchGolden(
      "code_editor/number_conversions.cases", 1, [](const std::vector<std::string>& fields) {
        const std::optional<double> number = StoreUpdate::convertedNumber(fields[0]);
        std::ostringstream shown;
        shown << number.value_or(0.0);
        return number ? shown.str() : "none";
      });
}

}  // namespace
}  // namespace tessary::code_editor
