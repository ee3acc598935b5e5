#include "tessary/store/property_table.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>

#include "support/golden_file.h"
#include "tessary/store/config_type.h"
#include "tessary/store/effect_file.h"

namespace tessary::store {
namespace {

using Row = PropertyTable::Row;

// The limited value a number row names in a layer whose first cell has one sub-cell: the cell's
// for a cell row, the sub-cell's when `inSubcell`.
LimitedValue& numberOf(const Row& row, LayerConfig& layer, bool inSubcell) {
  if (row.isLayerNumber()) return layer.*row.layerNumber;
  CellConfig& cell = inSubcell ? *layer.cells[0]->subcells[0] : *layer.cells[0];
  return cell.*row.cellNumber;
}

LayerConfigRef layerWithCellAndSubcell() {
  auto layer = std::make_shared<LayerConfig>();
  layer->cells.push_back(std::make_shared<CellConfig>());
  layer->cells[0]->subcells.push_back(std::make_shared<CellConfig>());
  layer->cells[0]->subcells[0]->subindex = 0;
  return layer;
}

// Every row is found again by its key path, its type's raw value and its key path's name, so no
// two rows share any of them, and the value inside a number names no row.
TEST(PropertyTableTest, EveryRowIsFoundByEachOfItsNames) {
  static_assert(ConfigType::caseCount == PropertyTable::rows().size());
  for (std::size_t index = 0; index < PropertyTable::rows().size(); ++index) {
    const Row& row = PropertyTable::rows()[index];
    SCOPED_TRACE(row.typeName);
    EXPECT_EQ(PropertyTable::find(row.path), &row);
    EXPECT_EQ(ConfigType::fromKeyPath(row.path)->index(), index);
    EXPECT_EQ(ConfigType::fromRawValue(row.typeName)->path(), row.path);
    EXPECT_EQ(ConfigType::allCases()[index].rawValue(), row.typeName);
    EXPECT_EQ(row.path.propertyName(), row.name);
    EXPECT_EQ(PropertyTable::find(row.path.appendingValue()), nullptr);
    EXPECT_EQ(row.path.isLimitedValueProperty(), row.kind == PropertyTable::Kind::number);
  }
  EXPECT_EQ(PropertyTable::find(CellProperty::colorRed), nullptr);
  EXPECT_FALSE(ConfigType::fromKeyPath(LayerProperty::backgroundAlpha));
}

// A new effect holds each number's defaults in the member its row names, found by the key path
// of the property and of the value inside it (and not by the other root), within its bounds.
TEST(PropertyTableTest, NewEffectsHoldEveryNumbersDefaults) {
  const LayerConfigRef layer = layerWithCellAndSubcell();
  const CellConfig& cell = *layer->cells[0];
  for (const Row& row : PropertyTable::rows()) {
    SCOPED_TRACE(row.typeName);
    const LimitedValue* byPath =
        row.path.cellProperty() ? cell.limitedValue(row.path) : layer->limitedValue(row.path);
    if (row.kind != PropertyTable::Kind::number) {
      EXPECT_EQ(byPath, nullptr);
      continue;
    }
    const LimitedValue& member = numberOf(row, *layer, false);
    EXPECT_EQ(byPath, &member);
    EXPECT_EQ(row.path.cellProperty() ? layer->limitedValue(row.path) : cell.limitedValue(row.path),
              nullptr);
    EXPECT_EQ(row.path.cellProperty() ? cell.limitedValue(row.path.appendingValue())
                                      : layer->limitedValue(row.path.appendingValue()),
              &member);
    EXPECT_EQ(member, row.defaults);
    EXPECT_LE(row.defaults.min, row.defaults.value);
    EXPECT_LE(row.defaults.value, row.defaults.max);
  }
}

// Each number, changed alone in a cell, a sub-cell or the layer, with its own bounds and with
// wider ones, is written to the file and read back, and makes the effect differ from the
// unchanged one.
TEST(PropertyTableTest, EveryNumberRoundTripsThroughTheFile) {
  const LayerConfigRef unchanged = layerWithCellAndSubcell();
  for (const Row& row : PropertyTable::rows()) {
    if (row.kind != PropertyTable::Kind::number) continue;
    for (const bool inSubcell : {false, true}) {
      for (const bool widened : {false, true}) {
        SCOPED_TRACE(std::string(row.typeName) + (inSubcell ? " in a sub-cell" : "") +
                     (widened ? " widened" : ""));
        const LayerConfigRef layer = layerWithCellAndSubcell();
        LimitedValue& number = numberOf(row, *layer, inSubcell);
        number.setValue((row.defaults.min + row.defaults.max) / 2 + 0.125);
        if (widened) number.setValue(row.defaults.max + 1);
        EXPECT_NE(*layer, *unchanged);
        EXPECT_EQ(*EffectFile::parse(EffectFile::serialize(*layer), "round trip"), *layer);
      }
    }
  }
}

// Every row as people and files see it, pinned, so that a change of a name, label, default or
// bound is a decision made in review.
TEST(PropertyTableTest, RowsMatchTheGoldenFile) {
  std::ostringstream text;
  for (const Row& row : PropertyTable::rows()) {
    text << row.typeName << " | " << row.name << " | " << row.fileObject << "/" << row.fileKey
         << " | " << row.swiftName << " | " << row.label << " | " << row.group << " | ";
    if (row.kind == PropertyTable::Kind::number) {
      text << row.defaults.value << " in " << row.defaults.min << "..." << row.defaults.max << ", "
           << row.digits << " digits" << (row.isSigned ? ", signed" : "")
           << (row.mirroredOnMacOS ? ", mirrored" : "") << (row.subcellOnly ? ", sub-cells" : "")
           << (row.angle != PropertyTable::Angle::none ? ", angle" : "")
           << (row.besidePrevious ? ", beside" : "");
    }
    text << "\n";
  }
  testing::expectMatchesGolden(text.str(), "properties/table.txt");
}

}  // namespace
}  // namespace tessary::store
