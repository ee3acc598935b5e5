#include "tessary/store/cell_config.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace tessary::store {
namespace {

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
