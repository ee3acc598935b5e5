#include "tessary/store/property_table.h"

#include <gtest/gtest.h>

#include "support/golden_file.h"
#include "tessary/store/config_type.h"
#include "tessary/store/effect_file.h"

namespace tessary::store {
namespace {

using Row = PropertyTable::Row;

// Every row is found again by each of its names (so no two rows share one). A new effect holds
// each number's defaults, within its bounds, where its row and its key path say; widened alone in
// the layer, a cell or a sub-cell, the number reads back from the file and makes the effect differ.
TEST(PropertyTableTest, EveryRowIsFoundByItsNamesAndEveryNumberByItsPath) {
  const LayerConfigRef unchanged =
      EffectFile::parse(R"({"tessaryEffect": 1, "layer": {"cells": [{"subcells": [{}]}]}})", "");
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

    const LayerConfigRef layer = unchanged->deepCopy();
    CellConfig& cell = *layer->cells[0];
    const auto find = [&](AnyKeyPath path, bool inCell) {
      return inCell ? cell.limitedValue(path) : layer->limitedValue(path);
    };
    const bool isCell = row.path.cellProperty().has_value();
    if (row.kind != PropertyTable::Kind::number) {
      EXPECT_EQ(find(row.path, isCell), nullptr);
      continue;
    }
    LimitedValue& number = row.isLayerNumber() ? (*layer).*row.layerNumber : cell.*row.cellNumber;
    EXPECT_EQ(find(row.path, isCell), &number);
    EXPECT_EQ(find(row.path.appendingValue(), isCell), &number);
    EXPECT_EQ(find(row.path, !isCell), nullptr);
    EXPECT_EQ(number, row.defaults);
    EXPECT_TRUE(row.defaults.min <= row.defaults.value && row.defaults.value <= row.defaults.max);
    for (LimitedValue* changed :
         {&number, isCell ? &(*cell.subcells[0].*row.cellNumber) : &number}) {
      changed->setValue(row.defaults.max + 1);
      EXPECT_NE(*layer, *unchanged);
      EXPECT_EQ(*EffectFile::parse(EffectFile::serialize(*layer), "widened"), *layer);
      *changed = row.defaults;
    }
  }
  EXPECT_EQ(PropertyTable::find(CellProperty::colorRed), nullptr);
  EXPECT_FALSE(ConfigType::fromKeyPath(LayerProperty::backgroundAlpha));
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
