#include "tessary/store/cell_config.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace tessary::store {
namespace {

const std::vector<CellProperty>& limitedProperties() {
  static const std::vector<CellProperty> properties{
      CellProperty::birthRate,
      CellProperty::lifetime,
      CellProperty::lifetimeRange,
      CellProperty::beginTime,
      CellProperty::duration,
      CellProperty::velocity,
      CellProperty::velocityRange,
      CellProperty::xAcceleration,
      CellProperty::yAcceleration,
      CellProperty::emissionLatitude,
      CellProperty::emissionLongitude,
      CellProperty::emissionRange,
      CellProperty::spin,
      CellProperty::spinRange,
      CellProperty::scale,
      CellProperty::scaleRange,
      CellProperty::scaleSpeed,
      CellProperty::alphaRange,
      CellProperty::alphaSpeed,
      CellProperty::redRange,
      CellProperty::greenRange,
      CellProperty::blueRange,
  };
  return properties;
}

// A cell with a sub-cell that has a sub-cell of its own.
CellConfigRef nestedCell() {
  auto grandchild = std::make_shared<CellConfig>();
  grandchild->name = "ash";
  auto child = std::make_shared<CellConfig>();
  child->name = "spark";
  child->subcells.push_back(grandchild);
  auto cell = std::make_shared<CellConfig>();
  cell->name = "flame";
  cell->contentUrl = platform::URL("flame.png");
  cell->contentsUrl = platform::URL("flame.png");
  cell->subcells.push_back(child);
  return cell;
}

TEST(CellConfigTest, NewCellHasTheDefaultsOfEveryNumber) {
  const CellConfig cell;
  for (const CellProperty property : limitedProperties()) {
    const LimitedValue defaults = CellConfig::defaultValue(property);
    const LimitedValue* value = cell.limitedValue(property);
    ASSERT_NE(value, nullptr) << AnyKeyPath(property).hash();
    EXPECT_EQ(*value, defaults);
    EXPECT_LT(defaults.min, defaults.max);
    EXPECT_GE(defaults.value, defaults.min);
    EXPECT_LE(defaults.value, defaults.max);
  }
  EXPECT_EQ(CellConfig::defaultValue(CellProperty::birthRate), (LimitedValue{10.0, 0.0, 500.0}));
  EXPECT_EQ(CellConfig::defaultValue(CellProperty::lifetime), (LimitedValue{5.0, 0.0, 30.0}));
  EXPECT_EQ(CellConfig::defaultValue(CellProperty::scale), (LimitedValue{0.1, 0.0, 2.0}));
  EXPECT_EQ(CellConfig::defaultValue(CellProperty::emissionLongitude),
            (LimitedValue{0.0, -180.0, 180.0}));
  EXPECT_EQ(CellConfig::defaultValue(CellProperty::emissionRange), (LimitedValue{0.0, 0.0, 360.0}));
  EXPECT_EQ(cell.color(), (platform::Color{1.0, 1.0, 1.0, 1.0}));
  EXPECT_EQ(cell.name, "cell");
  EXPECT_FALSE(cell.contentUrl.has_value());
  EXPECT_FALSE(cell.contentsUrl.has_value());
  EXPECT_TRUE(cell.contents().second);
  EXPECT_TRUE(cell.subcells.empty());
}

TEST(CellConfigTest, LimitedValueByPropertyOrItsValueKeyPath) {
  CellConfig cell;
  EXPECT_EQ(cell.limitedValue(CellProperty::birthRate), &cell.birthRate);
  EXPECT_EQ(cell.limitedValue(AnyKeyPath(CellProperty::birthRate).appendingValue()),
            &cell.birthRate);
  EXPECT_EQ(cell.limitedValue(CellProperty::blueRange), &cell.blueRange);
  const CellConfig& constCell = cell;
  EXPECT_EQ(constCell.limitedValue(CellProperty::spin), &cell.spin);

  const AnyKeyPath notLimited[] = {
      CellProperty::index,
      CellProperty::subindex,
      CellProperty::name,
      CellProperty::colorRed,
      CellProperty::color,
      CellProperty::contentUrl,
      CellProperty::contents,
      CellProperty::subcells,
      LayerProperty::viewWidth,
      LayerProperty::emitterPositionX,
      AnyKeyPath(LayerProperty::viewWidth).appendingValue(),
  };
  for (const AnyKeyPath& keypath : notLimited) {
    EXPECT_EQ(cell.limitedValue(keypath), nullptr) << keypath.hash();
  }
}

TEST(CellConfigTest, DeepCopySharesNothingAtAnyDepth) {
  const CellConfigRef original = nestedCell();
  const CellConfigRef copy = original->deepCopy();
  EXPECT_EQ(*copy, *original);
  ASSERT_EQ(copy->subcells.size(), 1u);
  EXPECT_NE(copy->subcells[0], original->subcells[0]);
  ASSERT_EQ(copy->subcells[0]->subcells.size(), 1u);
  EXPECT_NE(copy->subcells[0]->subcells[0], original->subcells[0]->subcells[0]);

  copy->subcells[0]->subcells[0]->velocity.value = 7;
  EXPECT_EQ(original->subcells[0]->subcells[0]->velocity.value, 100.0);
  EXPECT_NE(*copy, *original);
}

TEST(CellConfigTest, EqualityLooksAtEveryFieldAndEverySubCell) {
  const std::vector<std::pair<const char*, std::function<void(CellConfig&)>>> changes{
      {"index", [](CellConfig& cell) { cell.index = 1; }},
      {"subindex", [](CellConfig& cell) { cell.subindex = 0; }},
      {"name", [](CellConfig& cell) { cell.name = "Flame"; }},
      {"value", [](CellConfig& cell) { cell.birthRate.value = 11; }},
      {"bound", [](CellConfig& cell) { cell.blueRange.max = 2; }},
      {"colour", [](CellConfig& cell) { cell.colorAlpha = 0.5; }},
      {"texture", [](CellConfig& cell) { cell.contentUrl = platform::URL("flame.jpg"); }},
      {"contents", [](CellConfig& cell) { cell.contentsUrl = platform::URL("None"); }},
      {"sub-cell", [](CellConfig& cell) { cell.subcells[0]->scale.value = 0.2; }},
      {"deeper sub-cell", [](CellConfig& cell) { cell.subcells[0]->subcells[0]->name = "x"; }},
      {"sub-cell count", [](CellConfig& cell) { cell.subcells[0]->subcells.clear(); }},
  };
  for (const auto& [what, change] : changes) {
    const CellConfigRef original = nestedCell();
    const CellConfigRef changed = original->deepCopy();
    change(*changed);
    EXPECT_FALSE(*changed == *original) << what;
  }
}

}  // namespace
}  // namespace tessary::store
