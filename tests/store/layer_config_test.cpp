#include "tessary/store/layer_config.h"

#include <gtest/gtest.h>

#include <functional>

#include "tessary/store/effect_file.h"

namespace tessary::store {
namespace {

// Two cells with three sub-cells each; the first sub-cell of the first has one of its own.
LayerConfigRef nestedLayer() {
  return EffectFile::parse(R"({"tessaryEffect": 1, "layer": {"cells": [
      {"subcells": [{"subcells": [{}]}, {}, {}]}, {"subcells": [{}, {}, {}]}]}})",
                           "nested");
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
