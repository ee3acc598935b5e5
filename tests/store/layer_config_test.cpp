#include "tessary/store/layer_config.h"

#include <gtest/gtest.h>

namespace tessary::store {
namespace {

LayerConfigRef layerWithCells() {
  auto layer = std::make_shared<LayerConfig>();
  for (int index = 0; index < 2; ++index) {
    auto cell = std::make_shared<CellConfig>();
    cell->index = index;
    for (int subindex = 0; subindex < 3; ++subindex) {
      auto subcell = std::make_shared<CellConfig>();
      subcell->index = index;
      subcell->subindex = subindex;
      cell->subcells.push_back(subcell);
    }
    layer->cells.push_back(cell);
  }
  return layer;
}

TEST(LayerConfigTest, CellByPositions) {
  const LayerConfigRef layer = layerWithCells();
  EXPECT_EQ(layer->cell(1), layer->cells[1]);
  EXPECT_EQ(layer->cell(1, 2), layer->cells[1]->subcells[2]);
  EXPECT_EQ(layer->cell(0, 0), layer->cells[0]->subcells[0]);
  const std::pair<int, std::optional<int>> missing[] = {
      {-1, std::nullopt}, {2, std::nullopt}, {2, 0}, {0, 3}, {0, -1}, {-1, 0},
  };
  for (const auto& [cellIdx, subcellIdx] : missing) {
    EXPECT_EQ(layer->cell(cellIdx, subcellIdx), nullptr) << cellIdx;
  }
}

TEST(LayerConfigTest, DeepCopyAndEquality) {
  const LayerConfigRef original = layerWithCells();
  const LayerConfigRef copy = original->deepCopy();
  EXPECT_EQ(*copy, *original);
  EXPECT_NE(copy->cells[0], original->cells[0]);
  EXPECT_NE(copy->cells[0]->subcells[1], original->cells[0]->subcells[1]);

  copy->cells[1]->subcells[2]->lifetime.value = 1;
  EXPECT_FALSE(*copy == *original);
  EXPECT_EQ(original->cells[1]->subcells[2]->lifetime.value, 5.0);

  LayerConfig other = *original;
  other.renderMode = RenderMode::oldestFirst;
  EXPECT_FALSE(other == *original);
  other = *original;
  other.viewWidth.min = 0;
  EXPECT_FALSE(other == *original);
  other = *original;
  other.cells.pop_back();
  EXPECT_FALSE(other == *original);
}

}  // namespace
}  // namespace tessary::store
