#include "tessary/store/layer_config.h"

#include <gtest/gtest.h>

#include <functional>
#include <utility>
#include <vector>

namespace tessary::store {
namespace {

// Two cells with three sub-cells each; the first sub-cell of the first has one of its own.
LayerConfigRef nestedLayer() {
  auto layer = std::make_shared<LayerConfig>();
  for (int index = 0; index < 2; ++index) {
    layer->cells.push_back(std::make_shared<CellConfig>());
    for (int subindex = 0; subindex < 3; ++subindex) {
      layer->cells[index]->subcells.push_back(std::make_shared<CellConfig>());
    }
  }
  layer->cells[0]->subcells[0]->subcells.push_back(std::make_shared<CellConfig>());
  return layer;
}

TEST(LayerConfigTest, CellsByPositions) {
  const LayerConfigRef layer = nestedLayer();
  EXPECT_EQ(layer->cell(1), layer->cells[1]);
  EXPECT_EQ(layer->cell(1, 2), layer->cells[1]->subcells[2]);
  EXPECT_EQ(layer->cell(0, 0), layer->cells[0]->subcells[0]);
  for (const auto& [cellIdx, subcellIdx] :
       std::initializer_list<std::pair<int, std::optional<int>>>{
           {-1, std::nullopt}, {2, std::nullopt}, {2, 0}, {0, 3}, {0, -1}, {-1, 0}}) {
    EXPECT_EQ(layer->cell(cellIdx, subcellIdx), nullptr) << cellIdx;
  }
}

// A deep copy is equal and shares no cell at any depth; a change to any one field of the layer or
// of a cell at any depth makes it differ (each number: see the property table's test).
TEST(LayerConfigTest, DeepCopiesShareNothingAndEqualityLooksAtEverything) {
  using Change = std::function<void(LayerConfig&)>;
  const std::vector<std::pair<const char*, Change>> changes{
      {"render mode", [](LayerConfig& layer) { layer.renderMode = RenderMode::oldestFirst; }},
      {"cell count", [](LayerConfig& layer) { layer.cells.pop_back(); }},
      {"index", [](LayerConfig& layer) { layer.cells[0]->index = 1; }},
      {"subindex", [](LayerConfig& layer) { layer.cells[0]->subindex = 0; }},
      {"name", [](LayerConfig& layer) { layer.cells[0]->name = "Flame"; }},
      {"colour", [](LayerConfig& layer) { layer.cells[0]->colorAlpha = 0.5; }},
      {"texture", [](LayerConfig& layer) { layer.cells[0]->contentUrl = platform::URL("a.png"); }},
      {"contents", [](LayerConfig& layer) { layer.cells[0]->contentsUrl = platform::URL("None"); }},
      {"deeper", [](LayerConfig& layer) { layer.cells[0]->subcells[0]->subcells[0]->name = "x"; }},
      {"sub-cell count", [](LayerConfig& layer) { layer.cells[1]->subcells.pop_back(); }},
  };
  for (const auto& [what, change] : changes) {
    const LayerConfigRef original = nestedLayer();
    const LayerConfigRef copy = original->deepCopy();
    EXPECT_EQ(*copy, *original);
    change(*copy);
    EXPECT_FALSE(*copy == *original) << what;
    EXPECT_EQ(*original, *nestedLayer()) << what;
  }
}

}  // namespace
}  // namespace tessary::store
