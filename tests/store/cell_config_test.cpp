#include "tessary/store/cell_config.h"

#include <gtest/gtest.h>

#include <functional>
#include <utility>
#include <vector>

namespace tessary::store {
namespace {

// A textured cell with a sub-cell that has a sub-cell of its own.
CellConfigRef nestedCell() {
  auto cell = std::make_shared<CellConfig>();
  cell->contentUrl = cell->contentsUrl = platform::URL("flame.png");
  cell->subcells = {std::make_shared<CellConfig>()};
  cell->subcells[0]->subcells = {std::make_shared<CellConfig>()};
  return cell;
}

// A deep copy is equal, shares no sub-cell at any depth, and any change to one field or one
// sub-cell makes it differ.
TEST(CellConfigTest, DeepCopiesShareNothingAndEqualityLooksAtEverything) {
  using Change = std::function<void(CellConfig&)>;
  const std::vector<std::pair<const char*, Change>> changes{
      {"index", [](CellConfig& cell) { cell.index = 1; }},
      {"subindex", [](CellConfig& cell) { cell.subindex = 0; }},
      {"name", [](CellConfig& cell) { cell.name = "Flame"; }},
      {"value", [](CellConfig& cell) { cell.birthRate.value = 11; }},
      {"bound", [](CellConfig& cell) { cell.blueRange.max = 2; }},
      {"colour", [](CellConfig& cell) { cell.colorAlpha = 0.5; }},
      {"texture", [](CellConfig& cell) { cell.contentUrl = platform::URL("flame.jpg"); }},
      {"contents", [](CellConfig& cell) { cell.contentsUrl = platform::URL("None"); }},
      {"sub-cell", [](CellConfig& cell) { cell.subcells[0]->scale.value = 0.2; }},
      {"deeper", [](CellConfig& cell) { cell.subcells[0]->subcells[0]->velocity.value = 7; }},
      {"sub-cell count", [](CellConfig& cell) { cell.subcells[0]->subcells.clear(); }},
  };
  for (const auto& [what, change] : changes) {
    const CellConfigRef original = nestedCell();
    const CellConfigRef copy = original->deepCopy();
    EXPECT_EQ(*copy, *original);
    change(*copy);
    EXPECT_FALSE(*copy == *original) << what;
    EXPECT_EQ(*original, *nestedCell()) << what;
  }
}

}  // namespace
}  // namespace tessary::store
