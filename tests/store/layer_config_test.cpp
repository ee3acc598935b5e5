#include "tessary/store/layer_config.h"

#include <gtest/gtest.h>

namespace tessary::store {
namespace {

TEST(LayerConfigTest, CellsByPositionsDeepCopyAndEquality) {
  auto layer = std::make_shared<LayerConfig>();
  for (int index = 0; index < 2; ++index) {
    layer->cells.push_back(std::make_shared<CellConfig>());
    for (int subindex = 0; subindex < 3; ++subindex) {
      layer->cells[index]->subcells.push_back(std::make_shared<CellConfig>());
    }
  }
  EXPECT_EQ(layer->cell(1), layer->cells[1]);
  EXPECT_EQ(layer->cell(1, 2), layer->cells[1]->subcells[2]);
  EXPECT_EQ(layer->cell(0, 0), layer->cells[0]->subcells[0]);
  for (const auto& [cellIdx, subcellIdx] :
       std::initializer_list<std::pair<int, std::optional<int>>>{
           {-1, std::nullopt}, {2, std::nullopt}, {2, 0}, {0, 3}, {0, -1}, {-1, 0}}) {
    EXPECT_EQ(layer->cell(cellIdx, subcellIdx), nullptr) << cellIdx;
  }

  const LayerConfigRef copy = layer->deepCopy();
  EXPECT_EQ(*copy, *layer);
  EXPECT_NE(copy->cells[0]->subcells[1], layer->cells[0]->subcells[1]);
  copy->cells[1]->subcells[2]->lifetime.value = 1;
  EXPECT_FALSE(*copy == *layer);
  EXPECT_EQ(layer->cells[1]->subcells[2]->lifetime.value, 5.0);
  for (const auto& change : std::initializer_list<void (*)(LayerConfig&)>{
           [](LayerConfig& other) { other.renderMode = RenderMode::oldestFirst; },
           [](LayerConfig& other) { other.viewWidth.min = 0; },
           [](LayerConfig& other) { other.cells.pop_back(); }}) {
    LayerConfig other = *layer;
    change(other);
    EXPECT_FALSE(other == *layer);
  }
}

}  // namespace
}  // namespace tessary::store
