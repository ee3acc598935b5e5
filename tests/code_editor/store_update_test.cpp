#include "tessary/code_editor/store_update.h"

#include <gtest/gtest.h>

#include <sstream>

#include "analysis_test_support.h"
#include "support/golden_file.h"

namespace tessary::code_editor {
namespace {

TEST(StoreUpdateTest, ApplyEdit) {
  // Two cells, the first with one sub-cell and a name that holds another line's text; the emitter
  // height is 10 and the position's Y 150.
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
        text.replace(text.find(record->string() + "\n"), record->string().size(), line);
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
